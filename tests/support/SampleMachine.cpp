#include "tests/support/SampleMachine.h"

#include <string>

namespace tolvex::testing {

namespace {

ManagementValue t(const std::string& value) {
    return ManagementValue::text(value);
}
ManagementValue i(std::int64_t value) {
    return ManagementValue::integer(value);
}

std::string path(const std::string& cls, const std::string& key, const std::string& value) {
    return "\\\\SAMPLE\\root\\cimv2:" + cls + "." + key + "=\"" + value + "\"";
}

}  // namespace

void addSampleMachine(InMemoryService& s, SampleNulls nulls) {
    // A value real machines often lack: Null, or 1 for a machine that has
    // every value.
    const auto missing = [nulls] {
        return nulls == SampleNulls::AsRealMachines ? ManagementValue::null()
                                                    : ManagementValue::integer(1);
    };
    for (int n = 0; n < 2; ++n) {
        const std::string id = "CPU" + std::to_string(n);
        s.add("Win32_Processor", path("Win32_Processor", "DeviceID", id),
              {{"Name", t("Intel(R) Xeon(R) CPU E5-2650 v2 @ 2.60GHz")},
               {"ProcessorType", i(3)},
               {"Manufacturer", t("GenuineIntel")},
               {"Architecture", i(9)},
               {"Family", i(179)},
               {"AddressWidth", i(64)},
               {"DataWidth", i(64)},
               {"L2CacheSize", i(2048)},
               {"L2CacheSpeed", missing()},
               {"CurrentVoltage", i(16 + n)},
               {"ExtClock", i(100)},
               {"CurrentClockSpeed", i(2600)},
               {"MaxClockSpeed", i(3400)},
               {"Level", i(6)},
               {"Status", t("OK")},
               {"CpuStatus", i(1)},
               {"Availability", i(3)},
               {"ProcessorId", t("BFEBFBFF000306E4")},
               {"Version", missing()},
               {"Revision", i(16132 + n)}});
    }
    s.add("Win32_BaseBoard", path("Win32_BaseBoard", "Tag", "Base Board"),
          {{"Product", t("X9DRW")},
           {"Manufacturer", t("Supermicro")},
           {"Name", t("Base Board")},
           {"Model", missing()},
           {"PartNumber", missing()},
           {"SerialNumber", t("NM13CS000000")},
           {"Version", t("1.10")},
           {"Height", missing()},
           {"Width", missing()},
           {"Depth", missing()},
           {"Weight", missing()},
           {"SlotLayout", missing()}});
    s.add("Win32_MotherboardDevice", path("Win32_MotherboardDevice", "DeviceID", "Motherboard"),
          {{"PrimaryBusType", t("PCI")}, {"SecondaryBusType", t("ISA")}, {"Revision", missing()}});
    for (int n = 0; n < 2; ++n) {
        const std::string tag = "Physical Memory " + std::to_string(n);
        s.add("Win32_PhysicalMemory", path("Win32_PhysicalMemory", "Tag", tag),
              {{"Tag", t(tag)},
               {"Label", missing()},
               {"Manufacturer", t("Samsung")},
               {"PartNumber", t("M393B2G70QH0-YK0")},
               {"Model", missing()},
               {"SerialNumber", t("1234ABC" + std::to_string(n))},
               {"DeviceLocator", t("P1-DIMM" + std::to_string(n + 1) + "A")},
               {"FormFactor", i(8)},
               {"MemoryType", i(24)},
               {"TypeDetail", i(128)},
               {"Version", missing()},
               {"Capacity", t("17179869184")},
               {"DataWidth", i(64)},
               {"TotalWidth", i(72)},
               {"Speed", i(1600)}});
    }
    const char* nics[][4] = {{"1", "lo", "", ""},
                             {"2", "Intel Corporation I350 Gigabit Network Connection",
                              "Intel Corporation", "0C:C4:7A:12:34:56"}};
    for (const auto& nic : nics) {
        s.add("Win32_NetworkAdapter", path("Win32_NetworkAdapter", "DeviceID", nic[0]),
              {{"Name", t(nic[1])},
               {"AdapterType", *nic[2] ? t("Ethernet 802.3") : missing()},
               {"DeviceID", t(nic[0])},
               {"Manufacturer", *nic[2] ? t(nic[2]) : missing()},
               {"MACAddress", *nic[3] ? t(nic[3]) : missing()}});
    }
    s.add("Win32_VideoController", path("Win32_VideoController", "DeviceID", "VideoController1"),
          {{"Name", t("ASPEED Graphics Family")},
           {"VideoProcessor", t("ASPEED Graphics Family")},
           {"VideoArchitecture", i(5)},
           {"ProtocolSupported", missing()},
           {"VideoMemoryType", i(2)},
           {"AdapterDACType", missing()},
           {"AdapterRAM", i(16777216)},
           {"InstalledDisplayDrivers", t("ast")},
           {"DriverDate", missing()},
           {"DriverVersion", t("6.1.0")},
           {"VideoModeDescription", t("1024 x 768 x 4294967296 colors")},
           {"CurrentRefreshRate", i(60)},
           {"MaxRefreshRate", i(75)}});
    for (int n = 0; n < 2; ++n) {
        const std::string id = "PCI\\" + std::to_string(n);
        s.add("Win32_SCSIController", path("Win32_SCSIController", "DeviceID", id),
              {{"Name", t(n == 0 ? "MegaRAID SAS 2208" : "Virtio SCSI")},
               {"Manufacturer", t(n == 0 ? "Broadcom / LSI" : "Red Hat, Inc.")},
               {"DriverName", t(n == 0 ? "megaraid_sas" : "virtio_scsi")},
               {"HardwareVersion", t("05")},
               {"MaxDataWidth", missing()},
               {"MaxTransferRate", missing()},
               {"MaxNumberControlled", missing()},
               {"ProtectionManagement", missing()},
               {"ProtocolSupported", i(n == 0 ? 10 : 5)}});
    }
    const char* drives[][4] = {{"/", "250790436864", "101912444928", "3"},
                               {"/media/cdrom", "", "", "5"}};
    for (const auto& drive : drives) {
        s.add("Win32_LogicalDisk", path("Win32_LogicalDisk", "DeviceID", drive[0]),
              {{"Name", t(drive[0])},
               {"Size", *drive[1] ? t(drive[1]) : missing()},
               {"FreeSpace", *drive[2] ? t(drive[2]) : missing()},
               {"VolumeName", *drive[1] ? t("root") : missing()},
               {"VolumeSerialNumber", *drive[1] ? t("5A3F1C22") : missing()},
               {"DriveType", i(std::stoi(drive[3]))},
               {"FileSystem", *drive[1] ? t("EXT4") : missing()},
               {"Compressed", *drive[1] ? ManagementValue::boolean(false) : missing()}});
    }
    s.add("Win32_OperatingSystem", path("Win32_OperatingSystem", "Name", "Debian"),
          {{"Caption", t("Debian GNU/Linux 12 (bookworm)")},
           {"Manufacturer", missing()},
           {"SerialNumber", missing()},
           {"Version", t("6.1.0-40-amd64")},
           {"BuildNumber", t("#1 SMP PREEMPT_DYNAMIC Debian 6.1.153-1")},
           {"BuildType", missing()},
           {"CSDVersion", missing()},
           {"ServicePackMajorVersion", missing()},
           {"ServicePackMinorVersion", missing()},
           {"BootDevice", t("/dev/vda1")},
           {"WindowsDirectory", missing()},
           {"SystemDirectory", missing()},
           {"CSName", t("sample")},
           {"LastBootUpTime", t("20261207052000.000000+000")},
           {"NumberOfLicensedUsers", missing()},
           {"NumberOfUsers", i(1)},
           {"TotalVisibleMemorySize", t("32939480")},
           {"FreePhysicalMemory", t("30112312")},
           {"TotalVirtualMemorySize", t("34036180")},
           {"FreeVirtualMemory", t("31209012")},
           {"SizeStoredInPagingFiles", t("1096700")},
           {"FreeSpaceInPagingFiles", t("1096700")}});
}

}  // namespace tolvex::testing
