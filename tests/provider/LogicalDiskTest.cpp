#include <gtest/gtest.h>

#include <chrono>

#include "TreeBuilder.h"
#include "wmi/WmiNames.h"
#include "wmi/linux/DiskFacts.h"

namespace tolvex::testing {
namespace {

namespace prop = wmi::prop;
using linuxprov::enumerateLogicalDisks;

std::vector<std::string> mountPoints(const std::vector<ObjectPtr>& disks) {
    std::vector<std::string> out;
    for (const auto& disk : disks) {
        out.push_back(shown(disk, prop::DeviceID));
    }
    return out;
}

// From the captured /proc/mounts: rootfs, proc, sysfs, devtmpfs, devpts,
// usbfs, binfmt_misc, cgroup, rpc_pipefs and nfsd are the kernel's; the
// rest are drives, in the table's order.
TEST(CapturedLogicalDisks, DellServerMounts) {
    const std::string root = capturedTree("hwloc/32em64t-2n8c+dax+nvme+mic+dimms.tar.bz2");
    TOLVEX_REQUIRE_CAPTURE(root);
    const auto disks = enumerateTree(root, enumerateLogicalDisks);
    EXPECT_EQ(mountPoints(disks),
              (std::vector<std::string>{"/dev/shm", "/", "/var", "/tacc", "/tmp", "/admin",
                                        "/home1", "/work", "/scratch"}));
    ASSERT_EQ(disks.size(), 9u);
    const std::tuple<std::size_t, const char*, const char*> kinds[] = {
        {0, "6", "TMPFS"},  {1, "3", "EXT3"},   {2, "3", "EXT3"},
        {3, "3", "EXT3"},   {4, "3", "EXT3"},   {5, "4", "NFS"},
        {6, "4", "LUSTRE"}, {7, "4", "LUSTRE"}, {8, "4", "LUSTRE"},
    };
    for (const auto& [index, type, fileSystem] : kinds) {
        SCOPED_TRACE(index);
        EXPECT_EQ(shown(disks[index], prop::DriveType), type);
        EXPECT_EQ(shown(disks[index], prop::FileSystem), fileSystem);
        EXPECT_EQ(shown(disks[index], prop::Compressed), "false");
        // No sidecar: sizes are unknown, never invented.
        EXPECT_EQ(shown(disks[index], prop::Size), "<null>");
    }
}

// A machine whose mountinfo holds the awkward cases.
class SyntheticDrives : public ::testing::Test {
  protected:
    void SetUp() override {
        m_tree
            .file("/proc/self/mountinfo",
                  "20 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw\n"
                  "21 20 0:5 / /proc rw - proc proc rw\n"
                  "22 20 8:2 / /media/My\\040Disk rw - vfat /dev/sda2 rw,fmask=0022\n"
                  "23 20 8:1 /srv/data /mnt/bind rw - ext4 /dev/sda1 rw\n"
                  "24 20 8:3 / /gone\\040(deleted) rw - ext4 /dev/sda3 rw\n"
                  "25 20 8:16 / /usb rw - ext4 /dev/sdb rw\n"
                  "26 20 0:40 / /net rw - nfs4 server:/export rw,vers=4.2\n"
                  "27 20 11:0 / /cdrom ro - iso9660 /dev/sr0 ro\n"
                  "28 20 252:0 / /fast rw - ext4 /dev/zram0 rw\n"
                  "29 20 0:41 / /dead rw - nfs server2:/x rw\n"
                  "30 20 0:42 / /run rw - tmpfs tmpfs rw\n"
                  "31 20 0:43 / /run rw - tmpfs tmpfs rw,size=5\n"
                  "32 20 0:44 / /btr rw - btrfs /dev/sda4 rw,compress=zstd:3\n"
                  "34 23 0:45 / /sys/fs/cgroup rw - tmpfs tmpfs rw\n"
                  "this line is not a mount\n"
                  "33 20 8:5 / /nolabel rw - ext4 /dev/sda5 rw\n")
            .file("/tolvex-syscalls.ini",
                  "statvfs:/ = 4096 2441872 1000000 524288\n"
                  "statvfs:/media/My Disk = 512 3000 1500 1500\n"
                  "statvfs:/dead = hang\n");
        for (const auto& [name, numbers, disk] : {std::tuple{"sda1", "8:1", "sda"},
                                                  {"sda2", "8:2", "sda"},
                                                  {"sda4", "8:4", "sda"},
                                                  {"sda5", "8:5", "sda"},
                                                  {"sdb", "8:16", ""},
                                                  {"sr0", "11:0", ""},
                                                  {"zram0", "252:0", ""}}) {
            const std::string parent = *disk ? std::string("sda/") : std::string();
            const std::string device = "/sys/devices/pci0/block/" + parent + name;
            m_tree.file(device + "/dev", std::string(numbers) + "\n")
                .link(std::string("/sys/class/block/") + name,
                      "../../devices/pci0/block/" + parent + name)
                .link(std::string("/sys/dev/block/") + numbers,
                      "../../devices/pci0/block/" + parent + name);
            if (*disk) {
                m_tree.file(device + "/partition", "1\n");
            }
        }
        m_tree.file("/sys/block/sda/removable", "0\n").file("/sys/block/sdb/removable", "1\n");
        m_tree.file("/run/udev/data/b8:1",
                    "S:disk/by-uuid/0a1b2c3d-aaaa-bbbb-cccc-ddddeeeeffff\n"
                    "E:ID_FS_UUID=0a1b2c3d-aaaa-bbbb-cccc-ddddeeeeffff\n"
                    "E:ID_FS_LABEL=root_disk\nE:ID_FS_LABEL_ENC=root\\x20disk\n"
                    "E:ID_FS_TYPE=ext4\n");
        m_tree.file("/run/udev/data/b8:2",
                    "E:ID_FS_UUID=1a2b-3c4d\nE:ID_FS_TYPE=vfat\nE:ID_FS_VERSION=FAT32\n");
        // Without udev data: the /dev/disk links.
        m_tree.link("/dev/disk/by-label/My\\x20Btrfs", "../../sda4")
            .link("/dev/disk/by-uuid/01234567-89ab-cdef-0123-456789abcdef", "../../sda4")
            .link("/dev/disk/by-uuid/0123456789ABCDEF", "../../sdb");
    }
    TreeBuilder m_tree;
};

TEST_F(SyntheticDrives, SelectsEachDriveOnce) {
    const auto disks = enumerateTree(m_tree.root(), enumerateLogicalDisks);
    // The bind of /srv/data, the deleted mount point, /proc, the tmpfs inside
    // /sys and the bad line are not drives; the second /run hides the first.
    EXPECT_EQ(mountPoints(disks),
              (std::vector<std::string>{"/", "/media/My Disk", "/usb", "/net", "/cdrom", "/fast",
                                        "/dead", "/run", "/btr", "/nolabel"}));
}

TEST_F(SyntheticDrives, DriveProperties) {
    const auto disks = enumerateTree(m_tree.root(), enumerateLogicalDisks);
    ASSERT_EQ(disks.size(), 10u);
    struct Row {
        const char* size;
        const char* free;
        const char* label;
        const char* serial;
        const char* type;
        const char* fileSystem;
        const char* compressed;
    };
    // 2441872 blocks of 4096 bytes = 10001907712; 524288 * 4096 = 2147483648.
    const Row rows[] = {
        {"10001907712", "2147483648", "root disk", "0A1B2C3D", "3", "EXT4", "false"},
        {"1536000", "768000", "<null>", "1A2B3C4D", "3", "FAT32", "false"},
        {"<null>", "<null>", "<null>", "89ABCDEF", "2", "EXT4", "false"},
        {"<null>", "<null>", "<null>", "<null>", "4", "NFS4", "false"},
        {"<null>", "<null>", "<null>", "<null>", "5", "CDFS", "false"},
        {"<null>", "<null>", "<null>", "<null>", "6", "EXT4", "false"},
        {"<null>", "<null>", "<null>", "<null>", "4", "NFS", "false"},
        {"<null>", "<null>", "<null>", "<null>", "6", "TMPFS", "false"},
        {"<null>", "<null>", "My Btrfs", "01234567", "3", "BTRFS", "true"},
        {"<null>", "<null>", "<null>", "<null>", "3", "EXT4", "false"},
    };
    for (std::size_t i = 0; i < disks.size(); ++i) {
        SCOPED_TRACE(shown(disks[i], prop::Name));
        EXPECT_EQ(shown(disks[i], prop::Size), rows[i].size);
        EXPECT_EQ(shown(disks[i], prop::FreeSpace), rows[i].free);
        EXPECT_EQ(shown(disks[i], prop::VolumeName), rows[i].label);
        EXPECT_EQ(shown(disks[i], prop::VolumeSerialNumber), rows[i].serial);
        EXPECT_EQ(shown(disks[i], prop::DriveType), rows[i].type);
        EXPECT_EQ(shown(disks[i], prop::FileSystem), rows[i].fileSystem);
        EXPECT_EQ(shown(disks[i], prop::Compressed), rows[i].compressed);
    }
}

TEST(LogicalDisks, MissingOrEmptyTableGivesNoDrives) {
    TreeBuilder none;
    EXPECT_TRUE(enumerateTree(none.root(), enumerateLogicalDisks).empty());
    TreeBuilder empty;
    empty.file("/proc/mounts", "");
    EXPECT_TRUE(enumerateTree(empty.root(), enumerateLogicalDisks).empty());
}

TEST(VolumeSerial, FromUuids) {
    const std::pair<const char*, const char*> cases[] = {
        {"1a2b-3c4d", "1A2B3C4D"},
        {"0123456789ABCDEF", "89ABCDEF"},
        {"01234567-89ab-cdef-0123-456789abcdef", "01234567"},
        {"abc", ""},
        {"zz12-3456", ""},
    };
    for (const auto& [uuid, serial] : cases) {
        EXPECT_EQ(linuxprov::volumeSerial(uuid).value_or(""), serial) << uuid;
    }
}

TEST(FileSystemName, ServiceNames) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"ext4", "", "EXT4"},     {"vfat", "FAT16", "FAT16"},  {"vfat", "", "FAT"},
        {"vfat", "bogus", "FAT"}, {"ntfs3", "", "NTFS"},       {"exfat", "", "exFAT"},
        {"iso9660", "", "CDFS"},  {"fuse.sshfs", "", "SSHFS"}, {"xfs", "", "XFS"},
    };
    for (const auto& [type, version, expected] : cases) {
        const auto v = *version ? std::optional<std::string>(version) : std::nullopt;
        EXPECT_EQ(linuxprov::fileSystemName(type, v), expected) << type << " " << version;
    }
}

}  // namespace
}  // namespace tolvex::testing
