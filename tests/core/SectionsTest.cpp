// Each section's detector and handler on the in-memory service: the fields
// they fill, their conversions, and what stays when a value is missing.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "sections/StartupSequence.h"
#include "tests/support/SectionHarness.h"
#include "wmi/linux/LinuxService.h"

namespace tolvex::testing {
namespace {

using Props = InMemoryService::Properties;

// Each field shows its text, named in the failure when it does not.
void expectShown(const RecordingScreen& screen,
                 std::initializer_list<std::pair<const char*, const char*>> fields) {
    for (const auto& [field, shown] : fields) {
        EXPECT_EQ(screen.text(field), shown) << field;
    }
}

Props processor(const char* name, std::int64_t speed, ManagementValue voltage,
                ManagementValue manufacturer, ManagementValue family) {
    return {{"Name", text(name)},
            {"ProcessorType", integer(3)},
            {"Manufacturer", std::move(manufacturer)},
            {"Architecture", integer(9)},
            {"Family", std::move(family)},
            {"AddressWidth", integer(64)},
            {"DataWidth", integer(64)},
            {"L2CacheSize", integer(512)},
            {"L2CacheSpeed", null()},
            {"CurrentVoltage", std::move(voltage)},
            {"ExtClock", integer(100)},
            {"CurrentClockSpeed", integer(speed)},
            {"MaxClockSpeed", integer(3600)},
            {"Level", integer(6)},
            {"Status", text("OK")},
            {"CpuStatus", integer(1)},
            {"Availability", integer(3)},
            {"ProcessorId", text("BFEBFBFF000906EA")},
            {"Version", null()},
            {"Revision", integer(40458)}};
}

TEST(Processors, OneAndTwoProcessorsFillEveryFieldInTurn) {
    SectionHarness h;
    h.service
        ->add("Win32_Processor", "C0",
              processor("Xeon A", 2600, integer(33), text("GenuineIntel"), integer(11)))
        .add("Win32_Processor", "C1", processor("Xeon B", 2800, null(), null(), integer(40000)));
    DetectSystemCPUs(h.context);

    EXPECT_EQ(h.screen.text("lblCPUCount"), "2 processor(s) detected.");
    EXPECT_EQ(h.screen.selectedIndex("cboCPUs"), 0);
    expectShown(h.screen, {{"lblType", "Central Processor"},
                           {"lblManufacturer", "GenuineIntel"},
                           {"lblArchitec", "<unknown>"},  // 9 is not in the table
                           {"lblFamily", "Pentium Family"},
                           {"lblABus", "64 bits"},
                           {"lblL2Size", "512 KB"},
                           {"lblL2Speed", " MHz"},
                           {"lblVoltage", "3.3 Volts"},
                           {"lblCPUSpeed", "2600 MHz"},
                           {"lblCPUStatus2", "..."},  // code 1 is the "..." entry
                           {"lblCPUAvail", "Running/Full Power"},
                           {"lblCPUID", "BFEBFBFF000906EA"},
                           {"lblCPUVer", "..."},  // Null strict field keeps its text
                           {"lblCPURev", "40458"}});

    h.screen.setSelectedIndex("cboCPUs", 1);
    expectShown(h.screen, {{"lblCPUSpeed", "2800 MHz"},
                           {"lblManufacturer", "GenuineIntel"},  // Null keeps the first's
                           {"lblVoltage", " Volts"},             // Null suffix field
                           {"lblFamily", "Pentium Family"}});    // 40000 is out of range
}

// A field notes why it shows no value only while it shows none: the unit
// alone or "..." for a Null, not a value an earlier instance left there.
TEST(Processors, AFieldWithoutAValueNotesWhy) {
    std::string root = (std::filesystem::temp_directory_path() / "tolvex-notes-XXXXXX").string();
    ASSERT_TRUE(::mkdtemp(root.data()));
    std::filesystem::create_directory(root + "/proc");
    std::ofstream(root + "/proc/cpuinfo")
        << "processor\t: 0\nphysical id\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\n"
           "model name\t: A\n\nprocessor\t: 1\nphysical id\t: 1\nmodel name\t: B\n\n";
    SectionHarness h;
    h.state.ManagementService = linuxprov::makeLinuxService(root);
    DetectSystemCPUs(h.context);
    const std::string noTable = "Not provided by this machine: /sys/firmware/dmi/tables/DMI";
    const auto note = [&](const char* field) {
        const auto it = h.screen.notes.find(field);
        return it == h.screen.notes.end() ? std::string("<none>") : it->second;
    };
    EXPECT_EQ(h.screen.text("lblExtClock"), " MHz");
    EXPECT_EQ(note("lblExtClock"), noTable);
    EXPECT_EQ(h.screen.text("lblFamily"), "...");
    EXPECT_EQ(note("lblFamily"), noTable);
    EXPECT_EQ(h.screen.text("lblManufacturer"), "GenuineIntel");
    EXPECT_EQ(note("lblManufacturer"), "<none>");

    // The second package's maker is unknown: the first's stays, unnoted.
    h.screen.setSelectedIndex("cboCPUs", 1);
    ASSERT_EQ(h.screen.selectedIndex("cboCPUs"), 1);
    EXPECT_EQ(h.screen.text("lblManufacturer"), "GenuineIntel");
    EXPECT_EQ(note("lblManufacturer"), "<none>");
    EXPECT_EQ(note("lblExtClock"), noTable);
    std::filesystem::remove_all(root);
}

TEST(Processors, VoltageIsTheRawValueOverTen) {
    for (const auto& [raw, shown] : std::vector<std::pair<int, const char*>>{
             {33, "3.3 Volts"}, {20, "2 Volts"}, {161, "16.1 Volts"}}) {
        SectionHarness h;
        h.format = NumberFormat::comma();
        h.service->add("Win32_Processor", "C0",
                       processor("X", 1, integer(raw), text("M"), integer(2)));
        DetectSystemCPUs(h.context);
        std::string expected = shown;
        std::replace(expected.begin(), expected.end(), '.', ',');
        EXPECT_EQ(h.screen.text("lblVoltage"), expected);
    }
}

TEST(MemoryBanks, CapacityInThousandsAndCodesDecoded) {
    SectionHarness h;
    const auto bank = [](const char* tag, ManagementValue capacity, ManagementValue serial) {
        return Props{{"Tag", text(tag)},
                     {"Label", null()},
                     {"Manufacturer", text("Samsung")},
                     {"PartNumber", text("M393")},
                     {"Model", null()},
                     {"SerialNumber", std::move(serial)},
                     {"DeviceLocator", text("DIMM A1")},
                     {"FormFactor", integer(8)},
                     {"MemoryType", integer(18)},
                     {"TypeDetail", integer(128)},
                     {"Version", null()},
                     {"Capacity", std::move(capacity)},
                     {"DataWidth", integer(64)},
                     {"TotalWidth", integer(72)},
                     {"Speed", null()}};
    };
    h.service
        ->add("Win32_PhysicalMemory", "M0",
              bank("Physical Memory 0", text("134217728"), text("0001")))
        .add("Win32_PhysicalMemory", "M1", bank("Physical Memory 1", integer(0), null()))
        .add("Win32_PhysicalMemory", "M2", bank("Physical Memory 2", null(), null()));
    DetectMEM(h.context);
    expectShown(h.screen, {{"lblMEMCapacity", "134,218 KB"},
                           {"lblMEMFactor", "DIMM"},
                           {"lblMEMType", "SDRAM"},
                           {"lblMEMDetail", ""},
                           {"lblMEMData", "64"},
                           {"lblMEMWidth", "72"},
                           {"lblMEMSpeed", " ns"},
                           {"lblMEMLabel", "..."}});

    h.screen.setSelectedIndex("cboMem", 1);
    EXPECT_EQ(h.screen.text("lblMEMCapacity"), " KB");
    EXPECT_EQ(h.screen.text("lblMEMSerial"), "0001");  // Null keeps the earlier bank's
    h.screen.setSelectedIndex("cboMem", 2);
    EXPECT_EQ(h.screen.text("lblMEMCapacity"), " KB");
    // The totals frame belongs to the operating-system detection.
    EXPECT_EQ(h.screen.text("lblMEMTotPhys"), "...");
}

TEST(Motherboard, TwoBaseBoardsAndAFailedFirstQuery) {
    SectionHarness h;
    h.service
        ->add("Win32_BaseBoard", "B0",
              {{"Product", text("X570D4U")},
               {"Manufacturer", text("ASRock")},
               {"Name", text("Base Board")},
               {"SerialNumber", text("S1")},
               {"Height", integer(0)}})
        .add("Win32_BaseBoard", "B1",
             {{"Product", text("Second")}, {"Manufacturer", null()}, {"SerialNumber", null()}})
        .add("Win32_MotherboardDevice", "D0",
             {{"PrimaryBusType", text("PCI")},
              {"SecondaryBusType", text("ISA")},
              {"Revision", null()}});
    DetectMotherBoard(h.context);
    expectShown(h.screen, {{"lblMBProduct", "Second"},
                           {"lblMBManufac", "ASRock"},
                           {"lblMBSerial", "S1"},
                           {"lblMBHeight", "0"},
                           {"lblMBModel", "..."},  // absent property
                           {"lblMBPriBus", "PCI"},
                           {"lblMBRevision", "..."}});

    SectionHarness failing;
    failing.service->add("Win32_MotherboardDevice", "D0", {{"PrimaryBusType", text("PCI")}});
    failing.service->inject(
        {InMemoryService::Call::Enumerate, "Win32_BaseBoard", -1, "", "Failure"});
    DetectMotherBoard(failing.context);
    EXPECT_EQ(failing.screen.text("lblMBProduct"), "...");
    EXPECT_EQ(failing.screen.text("lblMBPriBus"), "PCI");
}

TEST(NetworkAndScsi, NullNameInTheMiddleStopsTheListWithTheSectionSentence) {
    struct Case {
        void (*detect)(SectionContext&);
        const char* cls;
        const char* selector;
        const char* count;
        const char* sentence;
    };
    for (const Case& c :
         {Case{DetectSystemNICs, "Win32_NetworkAdapter", "cboNIC",
               "3 network adapter device(s) detected.", "Unable to detect NIC(s)."},
          Case{DetectSCSI, "Win32_SCSIController", "cboSCSI", "3 SCSI adapter(s) detected.",
               "Unable to detect SCSI adapter(s)."}}) {
        SectionHarness h;
        h.service->add(c.cls, "A", {{"Name", text("first")}})
            .add(c.cls, "B", {{"Name", null()}})
            .add(c.cls, "C", {{"Name", text("third")}});
        c.detect(h.context);
        const std::string countLabel = c.cls[6] == 'N' ? "lblNICCount" : "lblSCSICount";
        EXPECT_EQ(h.screen.text(countLabel), c.count);
        EXPECT_EQ(h.screen.itemCount(c.selector), 1);
        EXPECT_EQ(h.screen.selectedIndex(c.selector), -1);
        ASSERT_EQ(h.screen.boxes.size(), 1u);
        EXPECT_EQ(h.screen.boxes[0].text.rfind(c.sentence, 0), 0u);
        EXPECT_GT(h.screen.boxes[0].text.size(), std::string(c.sentence).size());
    }
}

TEST(NetworkAdapters, DetailsAndANullMacKeepsThePreviousAddress) {
    SectionHarness h;
    h.service
        ->add("Win32_NetworkAdapter", "N0",
              {{"Name", text("eth0")},
               {"AdapterType", text("Ethernet 802.3")},
               {"DeviceID", integer(2)},
               {"Manufacturer", text("Intel")},
               {"MACAddress", text("00:1B:21:3A:4F:10")}})
        .add("Win32_NetworkAdapter", "N1",
             {{"Name", text("lo")},
              {"AdapterType", null()},
              {"DeviceID", text("1")},
              {"Manufacturer", null()},
              {"MACAddress", null()}});
    DetectSystemNICs(h.context);
    EXPECT_EQ(h.screen.text("lblNICMACAddr"), "00:1B:21:3A:4F:10");
    EXPECT_EQ(h.screen.text("lblNICID"), "2");
    h.screen.setSelectedIndex("cboNIC", 1);
    EXPECT_EQ(h.screen.text("lblNICID"), "1");
    EXPECT_EQ(h.screen.text("lblNICMACAddr"), "00:1B:21:3A:4F:10");
}

TEST(VideoAdapter, ConversionsAndTheLastInstanceWins) {
    SectionHarness h;
    h.service
        ->add("Win32_VideoController", "V0",
              {{"Name", text("First")},
               {"AdapterDACType", text("Integrated")},
               {"AdapterRAM", integer(8388608)},
               {"ProtocolSupported", integer(5)},
               {"VideoArchitecture", integer(5)},
               {"VideoMemoryType", integer(2)},
               {"DriverDate", text("20230101000000.000000-000")},
               {"CurrentRefreshRate", integer(75)},
               {"MaxRefreshRate", null()}})
        .add("Win32_VideoController", "V1",
             {{"Name", text("Second")},
              {"AdapterDACType", null()},
              {"AdapterRAM", integer(0)},
              {"ProtocolSupported", null()},
              {"VideoArchitecture", integer(13)},
              {"VideoMemoryType", null()},
              {"CurrentRefreshRate", integer(60)},
              {"MaxRefreshRate", null()}});
    DetectVideoAdapter(h.context);
    expectShown(h.screen, {{"lblVIDName", "Second"},
                           {"lblVIDDAC", "Integrated"},
                           {"lblVIDMem", " KB"},
                           {"lblVIDProtocol", "5"},
                           {"lblVIDArch", ""},
                           {"lblVIDMemType", "VRAM"},
                           {"lblVIDDrvDate", "20230101000000.000000-000"},
                           {"lblVIDRefresh", "60 Hz"},
                           {"lblVIDMaxRefresh", " Hz"}});

    // Memories past the 32-bit property's range are shown whole.
    for (const auto& [bytes, shown] :
         {std::pair{8388608LL, "8,389 KB"}, std::pair{8589934592LL, "8,589,935 KB"}}) {
        SectionHarness one;
        one.service->add("Win32_VideoController", "V0", {{"AdapterRAM", integer(bytes)}});
        DetectVideoAdapter(one.context);
        EXPECT_EQ(one.screen.text("lblVIDMem"), shown);
    }
}

TEST(ScsiAdapters, NumbersShownAsDeliveredAndTheProtocolDecoded) {
    SectionHarness h;
    h.service->add("Win32_SCSIController", "S0",
                   {{"Name", text("MegaRAID SAS")},
                    {"Manufacturer", text("LSI")},
                    {"DriverName", text("megaraid_sas")},
                    {"HardwareVersion", null()},
                    {"MaxDataWidth", integer(16)},
                    {"MaxTransferRate", text("40000000")},
                    {"MaxNumberControlled", null()},
                    {"ProtectionManagement", integer(3)},
                    {"ProtocolSupported", integer(9)}});
    DetectSCSI(h.context);
    expectShown(h.screen, {{"lblSCSICount", "1 SCSI adapter(s) detected."},
                           {"lblSCSICaption", "MegaRAID SAS"},
                           {"lblSCSITxRate", "40000000"},
                           {"lblSCSIDataWidth", "16"},
                           {"lblSCSIProtection", "3"},
                           {"lblSCSIProtocol", "SCSI Parallel Interface"},
                           {"lblSCSIVer", "..."}});
}

TEST(LogicalDrives, RowsColumnsAndClicks) {
    SectionHarness h;
    h.service
        ->add("Win32_LogicalDisk", "C",
              {{"Name", text("C:")},
               {"Size", text("10001908224")},
               {"FreeSpace", text("2147483648")},
               {"VolumeName", text("System")},
               {"VolumeSerialNumber", text("5A3F1C22")},
               {"DriveType", integer(3)},
               {"FileSystem", text("NTFS")},
               {"Compressed", ManagementValue::boolean(false)}})
        .add("Win32_LogicalDisk", "D",
             {{"Name", text("D:")},
              {"Size", null()},
              {"FreeSpace", null()},
              {"VolumeName", null()},
              {"VolumeSerialNumber", null()},
              {"DriveType", integer(5)},
              {"FileSystem", null()},
              {"Compressed", null()}})
        .add("Win32_LogicalDisk", "E",
             {{"Name", text("E:")}, {"Size", integer(0)}, {"FreeSpace", integer(0)}})
        .add("Win32_LogicalDisk", "F",
             {{"Name", text("F:")}, {"Size", integer(1500000)}, {"FreeSpace", integer(500000)}});
    DetectDRVs(h.context);
    const auto& rows = h.screen.rows["lvDrives"];
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].columns, (std::vector<std::string>{"C:", "10001.91", "2147.48", "21.5"}));
    EXPECT_EQ(rows[1].columns, (std::vector<std::string>{"D:", "", "", ""}));
    EXPECT_EQ(rows[2].columns, (std::vector<std::string>{"E:", "0.00", "0.00", ""}));
    EXPECT_EQ(rows[3].columns, (std::vector<std::string>{"F:", "1.50", "0.50", "33.3"}));
    EXPECT_EQ(h.screen.text("lblDRVType"), "...");  // nothing is selected by detection

    h.screen.clickRow("lvDrives", 1);
    EXPECT_EQ(h.screen.text("lblDRVVolName"), "System");
    EXPECT_EQ(h.screen.text("lblDRVComp"), "False");
    h.screen.clickRow("lvDrives", 2);
    expectShown(
        h.screen,
        {{"lblDRVType", "Compact Disc"}, {"lblDRVVolName", "System"}, {"lblDRVFileSys", "NTFS"}});
    h.screen.clickRow("lvDrives", 0);  // a click beside the rows
    EXPECT_EQ(h.screen.text("lblDRVType"), "Compact Disc");
}

TEST(OperatingSystem, TwentyOneFieldsFormattedAndMissingValues) {
    SectionHarness h;
    h.format = NumberFormat::comma();
    h.service->add("Win32_OperatingSystem", "OS",
                   {{"Caption", text("Debian GNU/Linux 12 (bookworm)")},
                    {"Manufacturer", null()},
                    {"Version", text("6.1.0")},
                    {"ServicePackMajorVersion", integer(0)},
                    {"ServicePackMinorVersion", integer(0)},
                    {"CSName", text("host")},
                    {"LastBootUpTime", text("20261207052000.000000+060")},
                    {"NumberOfUsers", integer(2)},
                    {"TotalVisibleMemorySize", text("130480")},
                    {"FreePhysicalMemory", integer(1234567)},
                    {"SizeStoredInPagingFiles", text("0")},
                    {"FreeSpaceInPagingFiles", null()}});
    DetectOS(h.context);
    expectShown(h.screen, {{"lblOSName", "Debian GNU/Linux 12 (bookworm)"},
                           {"lblOSManufac", "..."},
                           {"lblOSSP", "..."},  // CSDVersion absent
                           {"lblOSSPVer", "0.0"},
                           {"lblOSLastBoot", "20261207052000.000000+060"},
                           {"lblMEMTotPhys", "130.480 KB"},
                           {"lblMEMAvailPhys", "1.234.567 KB"},
                           {"lblMEMTotSwap", " KB"},
                           {"lblMEMAvailSwap", " KB"},
                           {"lblMEMTotVirt", "..."}});  // absent: the read fails

    SectionHarness bare;
    bare.service->add("Win32_OperatingSystem", "OS",
                      {{"ServicePackMajorVersion", null()}, {"ServicePackMinorVersion", null()}});
    DetectOS(bare.context);
    EXPECT_EQ(bare.screen.text("lblOSSPVer"), ".");
}

TEST(StartupSequence, NoServiceGivesThreeBoxesInStepOrderAndRunsToTheEnd) {
    SectionHarness h;
    h.disconnect();
    bool ipStepRan = false;
    runDetectionSteps(h.context, [&] { ipStepRan = true; });
    ASSERT_EQ(h.screen.boxes.size(), 3u);
    EXPECT_EQ(h.screen.boxes[0].progressText, "Detecting system processor(s)...");
    EXPECT_EQ(h.screen.boxes[1].progressText, "Detecting network adapter(s)...");
    EXPECT_EQ(h.screen.boxes[2].progressText, "Detecting SCSI adapter...");
    EXPECT_EQ(h.screen.boxes[0].text.rfind("Unable to detect CPU(s).", 0), 0u);
    EXPECT_TRUE(ipStepRan);
    EXPECT_EQ(h.screen.text("lblLoad"), "Detecting operating system...");
    EXPECT_EQ(h.screen.text("lblOSName"), "...");
}

}  // namespace
}  // namespace tolvex::testing
