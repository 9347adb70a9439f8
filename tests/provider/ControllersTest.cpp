#include <gtest/gtest.h>

#include "ProviderFixtures.h"
#include "TreeBuilder.h"
#include "wmi/Edid.h"
#include "wmi/WmiNames.h"
#include "wmi/linux/DisplayFacts.h"

namespace tolvex::testing {
namespace {

namespace prop = wmi::prop;
using linuxprov::enumerateSCSIControllers;
using linuxprov::enumerateVideoControllers;

// From the captured PCI files: 0000:00:02.0 is class 010802 (NVM Express)
// 8086:0953, driver nvme, revision byte 01 in its configuration space;
// 0000:00:1f.2 is class 010601 (AHCI), which the service does not count.
TEST(CapturedControllers, DellServerStorage) {
    const std::string root = capturedTree("hwloc/32em64t-2n8c+dax+nvme+mic+dimms.tar.bz2");
    TOLVEX_REQUIRE_CAPTURE(root);
    const auto controllers = enumerateTree(root, enumerateSCSIControllers);
    ASSERT_EQ(controllers.size(), 1u);
    EXPECT_EQ(shown(controllers[0], prop::Name), "PCIe Data Center SSD");
    EXPECT_EQ(shown(controllers[0], prop::Manufacturer), "Intel Corporation");
    EXPECT_EQ(shown(controllers[0], prop::DriverName), "nvme");
    EXPECT_EQ(shown(controllers[0], prop::HardwareVersion), "01");
    for (const char* name : {prop::MaxDataWidth, prop::MaxTransferRate, prop::MaxNumberControlled,
                             prop::ProtectionManagement, prop::ProtocolSupported}) {
        EXPECT_EQ(shown(controllers[0], name), "<null>") << name;
    }
}

// 0000:05:00.0: class 030000, 1a03:2000 (ASPEED Graphics Family), no driver.
TEST(CapturedControllers, DellServerDisplay) {
    const std::string root = capturedTree("hwloc/32em64t-2n8c+dax+nvme+mic+dimms.tar.bz2");
    TOLVEX_REQUIRE_CAPTURE(root);
    const auto video = enumerateTree(root, enumerateVideoControllers);
    ASSERT_EQ(video.size(), 1u);
    EXPECT_EQ(shown(video[0], prop::Name), "ASPEED Graphics Family");
    EXPECT_EQ(shown(video[0], prop::VideoProcessor), "ASPEED Graphics Family");
    EXPECT_EQ(shown(video[0], prop::VideoArchitecture), "5");
    EXPECT_EQ(shown(video[0], prop::VideoMemoryType), "2");
    for (const char* name :
         {prop::ProtocolSupported, prop::AdapterDACType, prop::AdapterRAM,
          prop::InstalledDisplayDrivers, prop::DriverDate, prop::DriverVersion,
          prop::VideoModeDescription, prop::CurrentRefreshRate, prop::MaxRefreshRate}) {
        EXPECT_EQ(shown(video[0], name), "<null>") << name;
    }
}

TEST(CapturedControllers, SupermicroHasNeither) {
    const std::string root = capturedTree("hwloc/32intel64-2p8co2t+8ve.tar.bz2");
    TOLVEX_REQUIRE_CAPTURE(root);
    EXPECT_TRUE(enumerateTree(root, enumerateSCSIControllers).empty());
    EXPECT_TRUE(enumerateTree(root, enumerateVideoControllers).empty());
}

// Each service reads its own machine's PCI bus and firmware table, however
// the classes of two services take turns.
TEST(CapturedControllers, EachServiceReadsItsOwnMachine) {
    const std::string dell = capturedTree("hwloc/32em64t-2n8c+dax+nvme+mic+dimms.tar.bz2");
    const std::string supermicro = capturedTree("hwloc/32intel64-2p8co2t+8ve.tar.bz2");
    TOLVEX_REQUIRE_CAPTURE(dell);
    TOLVEX_REQUIRE_CAPTURE(supermicro);
    const auto first = linuxprov::makeLinuxService(dell);
    const auto second = linuxprov::makeLinuxService(supermicro);
    EXPECT_EQ(instances(*second, wmi::cls::VideoController).size(), 0u);
    EXPECT_EQ(instances(*first, wmi::cls::VideoController).size(), 1u);
    const auto board = [](ManagementService& service) {
        return shown(instances(service, wmi::cls::BaseBoard).at(0), prop::Product);
    };
    const std::string firstBoard = board(*first);
    EXPECT_NE(firstBoard, board(*second));
    EXPECT_EQ(board(*linuxprov::makeLinuxService(dell)), firstBoard);
}

void addPci(TreeBuilder& tree, const std::string& address, const std::string& classCode,
            const std::string& vendor, const std::string& device, const std::string& driver) {
    const std::string dir = "/sys/devices/pci0000:00/" + address;
    tree.file(dir + "/class", classCode + "\n")
        .file(dir + "/vendor", vendor + "\n")
        .file(dir + "/device", device + "\n")
        .file(dir + "/revision", "0xc1\n")
        .link("/sys/bus/pci/devices/" + address, "../../../devices/pci0000:00/" + address);
    if (!driver.empty()) {
        tree.dir("/sys/bus/pci/drivers/" + driver)
            .link(dir + "/driver", "../../../bus/pci/drivers/" + driver);
    }
}

// Which storage classes count, by hand from the PCI class codes; the names
// are pci.ids' for 1000:0097 and 1af4:1042.
TEST(ScsiControllers, StorageKindsAndStandaloneHosts) {
    TreeBuilder tree;
    addPci(tree, "0000:00:01.0", "0x010700", "0x1000", "0x0097", "mpt3sas");  // SAS
    addPci(tree, "0000:00:02.0", "0x018000", "0x1af4", "0x1042", "virtio-pci");
    addPci(tree, "0000:00:03.0", "0x010601", "0x8086", "0xa102", "ahci");      // SATA: no
    addPci(tree, "0000:00:04.0", "0x010185", "0x8086", "0x7111", "ata_piix");  // IDE: no
    addPci(tree, "0000:00:05.0", "0x010400", "0xfeed", "0xbeef", "");          // RAID, unknown IDs
    tree.file("/sys/devices/platform/host7/scsi_host/host7/proc_name", "iscsi_tcp\n")
        .link("/sys/class/scsi_host/host7", "../../devices/platform/host7/scsi_host/host7")
        .file("/sys/devices/pci0000:00/0000:00:03.0/ata1/host0/scsi_host/host0/proc_name", "ahci\n")
        .link("/sys/class/scsi_host/host0",
              "../../devices/pci0000:00/0000:00:03.0/ata1/host0/scsi_host/host0");
    const auto controllers = enumerateTree(tree.root(), enumerateSCSIControllers);
    ASSERT_EQ(controllers.size(), 4u);
    const std::tuple<const char*, const char*, const char*, const char*> expected[] = {
        {"SAS3008 PCI-Express Fusion-MPT SAS-3", "Broadcom / LSI", "mpt3sas", "C1"},
        {"Virtio 1.0 block device", "Red Hat, Inc.", "virtio-pci", "C1"},
        {"PCI storage controller feed:beef", "<null>", "<null>", "C1"},
        {"iscsi_tcp", "<null>", "iscsi_tcp", "<null>"},
    };
    for (std::size_t i = 0; i < controllers.size(); ++i) {
        const auto& [name, manufacturer, driver, version] = expected[i];
        SCOPED_TRACE(name);
        EXPECT_EQ(shown(controllers[i], prop::Name), name);
        EXPECT_EQ(shown(controllers[i], prop::Manufacturer), manufacturer);
        EXPECT_EQ(shown(controllers[i], prop::DriverName), driver);
        EXPECT_EQ(shown(controllers[i], prop::HardwareVersion), version);
    }
}

// An EDID base block with a preferred 1920x1080 timing (148.5 MHz, totals
// 2200 x 1125: 60 Hz) and two range descriptors, up to 75 Hz and then up to
// 144 Hz: the first one counts.
std::string sampleEdid() {
    std::string edid(128, '\0');
    const unsigned char header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    for (std::size_t i = 0; i < 8; ++i) {
        edid[i] = static_cast<char>(header[i]);
    }
    const unsigned char timing[18] = {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58,
                                      0x2C, 0x45, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1E};
    const unsigned char range[18] = {0x00, 0x00, 0x00, 0xFD, 0x00, 0x38, 0x4B, 0x1E, 0x53,
                                     0x11, 0x00, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20};
    for (std::size_t i = 0; i < 18; ++i) {
        edid[54 + i] = static_cast<char>(timing[i]);
        edid[72 + i] = static_cast<char>(range[i]);
        edid[90 + i] = static_cast<char>(i == 6 ? 0x90 : range[i]);
    }
    return edid;
}

TEST(VideoControllers, ModeAndRatesFromDrm) {
    TreeBuilder tree;
    addPci(tree, "0000:03:00.0", "0x030000", "0x1002", "0x73bf", "amdgpu");
    const std::string dir = "/sys/devices/pci0000:00/0000:03:00.0";
    tree.file(dir + "/mem_info_vram_total", "17163091968\n")  // 16 GiB, past 32 bits
        .file("/sys/module/amdgpu/version", "")               // unreadable version: the kernel's
        .file("/tolvex-syscalls.ini", "sysname = Linux\nrelease = 6.1.0-18-amd64\n")
        .link(dir + "/drm/card0/device", "../../../0000:03:00.0")
        .link("/sys/class/drm/card0", "../../devices/pci0000:00/0000:03:00.0/drm/card0")
        .file(dir + "/drm/card0/card0-DP-1/status", "disconnected\n")
        .link("/sys/class/drm/card0-DP-1",
              "../../devices/pci0000:00/0000:03:00.0/drm/card0/card0-DP-1")
        .file(dir + "/drm/card0/card0-HDMI-A-1/status", "connected\n")
        .file(dir + "/drm/card0/card0-HDMI-A-1/enabled", "enabled\n")
        .file(dir + "/drm/card0/card0-HDMI-A-1/modes", "1920x1080\n1280x720\n")
        .file(dir + "/drm/card0/card0-HDMI-A-1/edid", sampleEdid())
        .link("/sys/class/drm/card0-HDMI-A-1",
              "../../devices/pci0000:00/0000:03:00.0/drm/card0/card0-HDMI-A-1");
    const auto video = enumerateTree(tree.root(), enumerateVideoControllers);
    ASSERT_EQ(video.size(), 1u);
    EXPECT_EQ(shown(video[0], prop::AdapterRAM), "17163091968");
    EXPECT_EQ(shown(video[0], prop::InstalledDisplayDrivers), "amdgpu");
    EXPECT_EQ(shown(video[0], prop::DriverVersion), "6.1.0-18-amd64");
    EXPECT_EQ(shown(video[0], prop::VideoModeDescription), "1920 x 1080");
    EXPECT_EQ(shown(video[0], prop::CurrentRefreshRate), "60");
    EXPECT_EQ(shown(video[0], prop::MaxRefreshRate), "75");
}

TEST(Edid, RejectsShortOrHeaderlessBlocks) {
    EXPECT_FALSE(tolvex::edid::parseTimings(std::string(64, '\0')));
    std::string block = sampleEdid();
    block[1] = 0;
    EXPECT_FALSE(tolvex::edid::parseTimings(block));
    const auto timings = tolvex::edid::parseTimings(sampleEdid());
    ASSERT_TRUE(timings);
    EXPECT_EQ(timings->preferredWidth, 1920);
    EXPECT_EQ(timings->preferredHeight, 1080);
}

}  // namespace
}  // namespace tolvex::testing
