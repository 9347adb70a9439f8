// Physical drives and their temperatures from sysfs, udev's database and
// hwmon: captured machines (../shared/fixtures/disks), small trees built
// from the values of real devices where no capture holds the case, and this
// machine's own tree.

#include <cstdio>
#include <cstdlib>

#include "ProviderFixtures.h"
#include "TreeBuilder.h"
#include "wmi/WmiNames.h"
#include "wmi/linux/DiskDrives.h"

namespace tolvex::testing {
namespace {

namespace prop = wmi::prop;
namespace cls = wmi::cls;

// A property's expected value ("<null>" for Null) and, for a Null, the
// words of its reason.
struct Expect {
    const char* property;
    std::string value;
    std::string reason = {};
};

void check(const ObjectPtr& object, const std::vector<Expect>& expected, const std::string& what) {
    for (const auto& e : expected) {
        EXPECT_EQ(shown(object, e.property), e.value) << what << " " << e.property;
        EXPECT_EQ(reasonText(object->nullReason(e.property)), e.reason)
            << what << " " << e.property;
    }
}

std::vector<std::string> deviceIds(const std::vector<ObjectPtr>& objects) {
    std::vector<std::string> ids;
    for (const auto& object : objects) {
        ids.push_back(shown(object, prop::DeviceID));
    }
    return ids;
}

ObjectPtr byId(const std::vector<ObjectPtr>& objects, const std::string& id) {
    for (const auto& object : objects) {
        if (shown(object, prop::DeviceID) == id) {
            return object;
        }
    }
    ADD_FAILURE() << "no instance " << id;
    return nullptr;
}

// A captured archive of ../shared/fixtures/disks unpacked into a tree,
// below `into`, without its first `strip` folders.
bool unpack(const TreeBuilder& tree, const std::string& archive, const std::string& into,
            int strip) {
    const std::string file = std::string(TOLVEX_FIXTURES_DIR) + "/disks/" + archive;
    if (!std::filesystem::exists(file)) {
        return false;
    }
    const std::string target = tree.root() + into;
    std::filesystem::create_directories(target);
    const std::string command = "tar -xzf '" + file + "' -C '" + target +
                                "' --strip-components=" + std::to_string(strip) + " 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

#define TOLVEX_REQUIRE_DISKS(ok)                                                        \
    if (!(ok)) {                                                                        \
        GTEST_SKIP() << "captured disks not found under " TOLVEX_FIXTURES_DIR "/disks"; \
    }

const std::string kNvmeDevice = "/sys/devices/pci0000:00/0000:00:02.1/0000:01:00.0/nvme/nvme0";

// The node exporter's capture: a Crucial P3 NVMe drive with its own sensor,
// SCSI disks with only some attributes, md and dm devices. The capture
// holds the NVMe drive's device folder but not the link the kernel makes to
// it in /sys/block; the test adds that link, as the kernel would.
TEST(DiskDriveCaptured, NodeExporterMachineListsItsDrivesWithWhatTheFilesSay) {
    TreeBuilder tree;
    TOLVEX_REQUIRE_DISKS(unpack(tree, "node_exporter-sys.tar.gz", "/sys", 1));
    tree.link("/sys/block/nvme0n1",
              "../devices/pci0000:00/0000:00:02.1/0000:01:00.0/nvme/nvme0/nvme0n1");

    const auto drives = enumerateTree(tree.root(), linuxprov::enumerateDiskDrives);
    // md and dm devices are no drives.
    EXPECT_EQ(deviceIds(drives),
              (std::vector<std::string>{"/dev/sda", "/dev/sdi", "/dev/sdj", "/dev/sdk", "/dev/sdl",
                                        "/dev/sdm", "/dev/sdn", "/dev/nvme0n1"}));

    check(byId(drives, "/dev/nvme0n1"),
          {{prop::Index, "7"},
           {prop::Model, "CT2000P3SSD8"},
           {prop::Caption, "CT2000P3SSD8"},
           {prop::SerialNumber, "2328E6EDD8A7"},
           {prop::FirmwareRevision, "P9CR30A"},
           {prop::Size, std::to_string(3907029168ull * 512)},
           {prop::BytesPerSector, "512"},
           {prop::TotalSectors, "3907029168"},
           {prop::Partitions, "3"},
           {prop::InterfaceType, "SCSI"},
           {prop::MediaType, "Fixed hard disk media"},
           {prop::PNPDeviceID, kNvmeDevice.substr(4) + "/nvme0n1"},
           {prop::Status, "OK"},
           {prop::WWN, "nvme.c0a9-323332384536454444384137-435432303030503353534438-00000001"},
           {prop::SpindleSpeed, "0"},
           {prop::Manufacturer, "<null>",
            "not provided by this machine: /sys/block/nvme0n1/device/vendor"}},
          "nvme0n1");

    // sda holds its queue only: what is missing says where it was looked for.
    check(byId(drives, "/dev/sda"),
          {{prop::BytesPerSector, "512"},
           {prop::SpindleSpeed, "<null>", "not provided by this machine: /sys/block/sda/dev"},
           {prop::Size, "<null>", "not provided by this machine: /sys/block/sda/size"},
           {prop::TotalSectors, "<null>", "not provided by this machine: /sys/block/sda/size"},
           {prop::Model, "<null>", "not provided by this machine: /sys/block/sda/dev"},
           {prop::InterfaceType, "<null>",
            "not provided by this machine: /sys/block/sda (no link to its device)"},
           {prop::Partitions, "0"}},
          "sda");

    const auto health = enumerateTree(tree.root(), linuxprov::enumerateDiskDriveHealth);
    ASSERT_EQ(deviceIds(health), deviceIds(drives));
    // Composite: 43.85 °C, rated 84.85 (warning) and 94.85 (critical).
    check(byId(health, "/dev/nvme0n1"),
          {{prop::Temperature, std::to_string(43.85)},
           {prop::TemperatureWarning, std::to_string(84.85)},
           {prop::TemperatureCritical, std::to_string(94.85)},
           {prop::TemperatureSource, "/sys/block/nvme0n1/device/hwmon3/temp1_input"},
           {prop::SmartFailing, "<null>", "not provided by this machine: udisks (no system bus)"},
           {prop::HealthSource, "<null>", "not provided by this machine: udisks (no system bus)"}},
          "nvme0n1 health");
    check(byId(health, "/dev/sdi"),
          {{prop::Temperature, "<null>", "not provided by this machine: udisks (no system bus)"}},
          "sdi health");
}

// The sensor's other channels: the placeholders firmware gives for "no
// limit" are no limits, and say so.
TEST(DiskDriveCaptured, PlaceholderLimitsAreNullWithTheirValue) {
    TreeBuilder tree;
    TOLVEX_REQUIRE_DISKS(unpack(tree, "node_exporter-sys.tar.gz", "/sys", 1));
    tree.link("/sys/block/nvme0n1",
              "../devices/pci0000:00/0000:00:02.1/0000:01:00.0/nvme/nvme0/nvme0n1");
    // The Composite label taken away: temp1 stays the channel; then temp1's
    // limits replaced with Sensor 1's placeholders.
    const std::string hwmon = kNvmeDevice + "/hwmon3";
    std::filesystem::remove(tree.root() + hwmon + "/temp1_label");
    tree.file(hwmon + "/temp1_max", "65261850\n").file(hwmon + "/temp1_crit", "-273150\n");
    const auto health = enumerateTree(tree.root(), linuxprov::enumerateDiskDriveHealth);
    check(byId(health, "/dev/nvme0n1"),
          {{prop::Temperature, std::to_string(43.85)},
           {prop::TemperatureWarning, "<null>",
            "not provided by this machine: /sys/block/nvme0n1/device/hwmon3/temp1_max "
            "(65261.85 °C, the firmware's mark for no limit)"},
           {prop::TemperatureCritical, "<null>",
            "not provided by this machine: /sys/block/nvme0n1/device/hwmon3/temp1_crit "
            "(-273.15 °C, the firmware's mark for no limit)"}},
          "placeholders");
}

// fwupd's capture: a SAS disk (IBM-ESXS ST1000NM0001) with one partition
// and no /sys/block, only /sys/class/block ("_" stands for ":" in its paths).
TEST(DiskDriveCaptured, FwupdSasDiskFromTheClassFolder) {
    TreeBuilder tree;
    TOLVEX_REQUIRE_DISKS(unpack(tree, "fwupd-sys.tar.gz", "/sys", 4));
    const auto drives = enumerateTree(tree.root(), linuxprov::enumerateDiskDrives);
    ASSERT_EQ(deviceIds(drives), (std::vector<std::string>{"/dev/sde"}));
    check(drives[0],
          {{prop::Model, "ST1000NM0001"},
           {prop::Manufacturer, "IBM-ESXS"},
           {prop::Caption, "IBM-ESXS ST1000NM0001"},
           {prop::Partitions, "1"},
           {prop::InterfaceType, "SCSI"},
           {prop::PNPDeviceID,
            "/devices/pci0000_50/0000_50_02.0/0000_51_00.0/host17/port-17_3/end_device-17_3/"
            "target17_0_3/17_0_3_0/block/sde"},
           {prop::SerialNumber, "<null>", "not provided by this machine: /sys/class/block/sde/dev"},
           {prop::Size, "<null>", "not provided by this machine: /sys/class/block/sde/size"}},
          "sde");
}

// SATA disks, a USB stick, an SD card, a virtio disk without a serial and
// the devices that are no drives, in one tree. udev's records are the
// captured ones of the node exporter (b8:0 a Toshiba 7200 rpm disk behind a
// SAS adapter, b8:16 a SuperMicro SSD, b179:0 an SD card, b254:0 a virtio
// disk udev knows only by its path); the sysfs values around them are those
// the kernel gives such devices (the SCSI layer keeps 16 characters of an
// ATA model and 4 of its firmware; "ATA" as vendor). The USB stick's values
// are a SanDisk Cruzer Blade's (USB 0781:5567).
TEST(DiskDriveBuilt, EachKindOfDriveFromSysfsAndUdev) {
    TreeBuilder tree;
    TOLVEX_REQUIRE_DISKS(unpack(tree, "node_exporter-udev.tar.gz", "/run", 0));
    const auto disk = [&](const std::string& name, const std::string& device,
                          const std::string& dev, const std::string& sectors,
                          const std::string& removable, const std::string& rotational) {
        const std::string path = device + "/block/" + name;
        tree.link("/sys/block/" + name, "../" + path.substr(5))
            .file(path + "/dev", dev + "\n")
            .file(path + "/size", sectors + "\n")
            .file(path + "/removable", removable + "\n")
            .file(path + "/queue/logical_block_size", "512\n")
            .file(path + "/queue/rotational", rotational + "\n")
            .link(path + "/device", "../..");
        return path;
    };
    const std::string ata = "/sys/devices/pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0";
    disk("sda", ata, "8:0", "3750748848", "0", "1");
    tree.file(ata + "/vendor", "ATA     \n")
        .file(ata + "/model", "TOSHIBA KSDB4U86\n")
        .file(ata + "/rev", "0102\n")
        .file(ata + "/state", "running\n")
        .file(ata + "/type", "0\n");
    tree.file(ata + "/block/sda/sda1/partition", "1\n")
        .file(ata + "/block/sda/sda2/partition", "2\n");
    const std::string ssd = "/sys/devices/pci0000:00/0000:00:1f.2/ata2/host1/target1:0:0/1:0:0:0";
    disk("sdb", ssd, "8:16", "468862128", "0", "0");
    tree.file(ssd + "/vendor", "ATA     \n")
        .file(ssd + "/model", "SuperMicro SSD  \n")
        .file(ssd + "/state", "offline\n");
    const std::string usb =
        "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/host6/target6:0:0/6:0:0:0";
    disk("sdc", usb, "8:32", "60063744", "1", "1");
    tree.file(usb + "/vendor", "SanDisk \n")
        .file(usb + "/model", "Cruzer Blade    \n")
        .file(usb + "/rev", "1.00\n");
    tree.file("/run/udev/data/b8:32",
              "E:ID_BUS=usb\nE:ID_VENDOR=SanDisk\nE:ID_MODEL=Cruzer_Blade\n"
              "E:ID_MODEL_ENC=Cruzer\\x20Blade\\x20\\x20\\x20\\x20\nE:ID_REVISION=1.00\n"
              "E:ID_SERIAL_SHORT=4C530001231229115493\n");
    const std::string mmc = "/sys/devices/platform/df2969f3.mmc/mmc_host/mmc0/mmc0:aaaa";
    disk("mmcblk0", mmc, "179:0", "124735488", "0", "0");
    tree.file(mmc + "/type", "SD\n")
        .file(mmc + "/name", "SC64G\n")
        .file(mmc + "/serial", "0x83e36d93\n")
        .file(mmc + "/fwrev", "0x0\n")
        .file(mmc + "/manfid", "0x000003\n")
        .file(mmc + "/block/mmcblk0/mmcblk0p1/uevent", "DEVTYPE=partition\nPARTN=1\n");
    const std::string virtio = "/sys/devices/pci0000:00/0000:00:06.0/virtio2";
    disk("vda", virtio, "254:0", "41943040", "0", "1");
    tree.file(virtio + "/block/vda/serial", "");
    // No drives: a loop device, device-mapper, compressed RAM, an md array
    // (all virtual), an optical drive, and the hidden path of a multipath
    // NVMe namespace.
    for (const char* name : {"loop0", "dm-0", "zram0", "md127"}) {
        tree.link(std::string("/sys/block/") + name,
                  std::string("../devices/virtual/block/") + name)
            .file(std::string("/sys/devices/virtual/block/") + name + "/size", "8\n");
    }
    const std::string optical =
        "/sys/devices/pci0000:00/0000:00:1f.2/ata3/host2/target2:0:0/2:0:0:0";
    disk("sr0", optical, "11:0", "0", "1", "1");
    tree.file(optical + "/type", "5\n");
    const std::string hidden = "/sys/devices/pci0000:00/0000:00:1d.0/0000:03:00.0/nvme/nvme0";
    disk("nvme0c0n1", hidden, "0:0", "100", "0", "0");
    tree.file(hidden + "/block/nvme0c0n1/hidden", "1\n");

    const auto drives = enumerateTree(tree.root(), linuxprov::enumerateDiskDrives);
    ASSERT_EQ(deviceIds(drives), (std::vector<std::string>{"/dev/sda", "/dev/sdb", "/dev/sdc",
                                                           "/dev/vda", "/dev/mmcblk0"}));
    check(drives[0],
          {{prop::Model, "TOSHIBA KSDB4U86"},
           {prop::Manufacturer, "<null>",
            "not provided by this machine: /sys/block/sda/device/vendor (\"ATA\" names the bus)"},
           {prop::SerialNumber, "2160A0D5FVGG"},
           {prop::FirmwareRevision, "0102"},
           {prop::Size, std::to_string(3750748848ull * 512)},
           {prop::Partitions, "2"},
           {prop::InterfaceType, "IDE"},
           {prop::MediaType, "Fixed hard disk media"},
           {prop::WWN, "0x7c72382b8de36a64"},
           {prop::SpindleSpeed, "7200"},
           {prop::Status, "OK"}},
          "sda");
    check(drives[1],
          {{prop::Model, "SuperMicro SSD"},
           {prop::SerialNumber, "SMC0E1B87ABBB16BD84E"},
           {prop::FirmwareRevision, "0R"},
           {prop::SpindleSpeed, "0"},
           {prop::Status, "Error"}},
          "sdb");
    check(drives[2],
          {{prop::Model, "Cruzer Blade"},
           {prop::Manufacturer, "SanDisk"},
           {prop::Caption, "SanDisk Cruzer Blade"},
           {prop::SerialNumber, "4C530001231229115493"},
           {prop::InterfaceType, "USB"},
           {prop::MediaType, "Removable Media"},
           {prop::SpindleSpeed, "<null>", "not provided by this machine: /run/udev/data/b8:32"}},
          "sdc");
    check(
        drives[3],
        {{prop::SerialNumber, "<null>", "not provided by this machine: /sys/block/vda/serial"},
         {prop::Model, "<null>", "not provided by this machine: /run/udev/data/b254:0"},
         {prop::Caption, "/dev/vda"},
         {prop::FirmwareRevision, "<null>", "not provided by this machine: /run/udev/data/b254:0"},
         {prop::InterfaceType, "SCSI"},
         {prop::Size, "21474836480"},
         {prop::Partitions, "0"}},
        "vda");
    check(drives[4],
          {{prop::Model, "SC64G"},
           {prop::SerialNumber, "0x83e36d93"},
           {prop::FirmwareRevision, "0x0"},
           {prop::Manufacturer, "<null>",
            "not provided by this machine: /sys/block/mmcblk0/device/manfid (0x000003, a number "
            "the SD Association or JEDEC assigns)"},
           {prop::MediaType, "Removable Media"},
           {prop::InterfaceType, "SCSI"},
           {prop::Partitions, "1"}},
          "mmcblk0");
}

// drivetemp's sensor of a SATA disk sits in hwmon/ under the SCSI device;
// a damaged reading is Null, never a number.
TEST(DiskDriveBuilt, SataSensorAndDamagedReadings) {
    const struct {
        const char* input;
        const char* expected;
        const char* reason;
    } cases[] = {
        {"37000\n", "37.000000", ""},
        {"-5500\n", "-5.500000", ""},
        {"warm\n", "<null>",
         "unreadable: /sys/block/sda/device/hwmon/hwmon2/temp1_input (damaged)"},
        {"-300000\n", "<null>",
         "unreadable: /sys/block/sda/device/hwmon/hwmon2/temp1_input (damaged)"},
        {"", "<null>", "unreadable: /sys/block/sda/device/hwmon/hwmon2/temp1_input (damaged)"},
    };
    for (const auto& c : cases) {
        TreeBuilder tree;
        const std::string device =
            "/sys/devices/pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0";
        tree.link("/sys/block/sda",
                  "../devices/pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0/block/sda")
            .link(device + "/block/sda/device", "../..")
            .file(device + "/hwmon/hwmon2/name", "drivetemp\n")
            .file(device + "/hwmon/hwmon2/temp1_input", c.input)
            .file(device + "/hwmon/hwmon2/temp1_max", "70000\n")
            .file(device + "/hwmon/hwmon2/temp1_crit", "75000\n");
        const auto health = enumerateTree(tree.root(), linuxprov::enumerateDiskDriveHealth);
        ASSERT_EQ(health.size(), 1u);
        check(health[0],
              {{prop::Temperature, c.expected, c.reason},
               {prop::TemperatureWarning, "70.000000"},
               {prop::TemperatureCritical, "75.000000"}},
              c.input);
    }
}

// The size counts 512-byte units whatever the logical sector; a card reader
// without its card gives 0, which is no size; a count past 64 bits or a
// sector that is no power of two from 512 to 65536 is damaged.
TEST(DiskDriveBuilt, SizeAndSectorsFromTheBlockLayer) {
    const std::string size = "/sys/block/sda/size";
    const std::string sector = "/sys/block/sda/queue/logical_block_size";
    const std::string noMedium = "not provided by this machine: " + size + " (no medium)";
    const std::string badSize = "unreadable: " + size + " (damaged)";
    const std::string badSector = "unreadable: " + sector + " (damaged)";
    const struct {
        const char* units;
        const char* sectorBytes;
        std::vector<Expect> expected;
    } cases[] = {
        {"7814037168",
         "4096",
         {{prop::Size, "4000787030016"},
          {prop::BytesPerSector, "4096"},
          {prop::TotalSectors, "976754646"}}},
        {"0",
         "512",
         {{prop::Size, "<null>", noMedium},
          {prop::BytesPerSector, "512"},
          {prop::TotalSectors, "<null>", noMedium}}},
        {"36028797018963968",
         "512",
         {{prop::Size, "<null>", badSize}, {prop::TotalSectors, "<null>", badSize}}},
        {"12abc", "512", {{prop::Size, "<null>", badSize}}},
        {"1000",
         "1000",
         {{prop::Size, "512000"},
          {prop::BytesPerSector, "<null>", badSector},
          {prop::TotalSectors, "<null>", badSector}}},
        {"1000", "256", {{prop::BytesPerSector, "<null>", badSector}}},
        {"1000", "131072", {{prop::BytesPerSector, "<null>", badSector}}},
    };
    for (const auto& c : cases) {
        TreeBuilder tree;
        const std::string device =
            "/sys/devices/pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0/block/sda";
        tree.link("/sys/block/sda", ".." + device.substr(4))
            .link(device + "/device", "../..")
            .file(device + "/size", std::string(c.units) + "\n")
            .file(device + "/queue/logical_block_size", std::string(c.sectorBytes) + "\n");
        const auto drives = enumerateTree(tree.root(), linuxprov::enumerateDiskDrives);
        ASSERT_EQ(drives.size(), 1u);
        check(drives[0], c.expected, std::string(c.units) + " " + c.sectorBytes);
    }
}

// This machine: every whole disk of /sys/block that is no virtual device is
// listed, each with the size the kernel gives it.
TEST(DiskDriveLive, ThisMachinesDrivesWithTheirTrueSize) {
    auto service = linuxprov::makeLinuxService("/");
    const auto drives = instances(*service, cls::DiskDrive);
    std::size_t expected = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/block")) {
        const std::string name = entry.path().filename();
        const auto target = std::filesystem::read_symlink(entry.path()).string();
        if (target.find("/virtual/") != std::string::npos || name.rfind("sr", 0) == 0) {
            continue;
        }
        ++expected;
        const std::string sectors = readBytes(entry.path() / "size");
        const auto drive = byId(drives, "/dev/" + name);
        ASSERT_NE(drive, nullptr);
        EXPECT_EQ(shown(drive, prop::Size), std::to_string(std::stoull(sectors) * 512)) << name;
    }
    EXPECT_EQ(drives.size(), expected);
}

}  // namespace
}  // namespace tolvex::testing
