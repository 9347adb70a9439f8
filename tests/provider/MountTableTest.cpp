// The kernel's mount tables as the provider reads them. The expected
// entries are libmount's answers for the same lines (util-linux 2.38), the
// reader the provider used before it read the tables itself.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/provider/TreeBuilder.h"
#include "wmi/linux/Mounts.h"

namespace tolvex::testing {
namespace {

// "source|target|type|root|options|major:minor" (no numbers: "-").
std::vector<std::string> entries(const TreeBuilder& tree) {
    std::vector<std::string> out;
    for (const auto& m : linuxprov::readMountTable(linuxprov::FileTree(tree.root()))) {
        out.push_back(
            m.source + "|" + m.target + "|" + m.fsType + "|" + m.root + "|" + m.options + "|" +
            (m.hasDeviceNumber ? std::to_string(m.major) + ":" + std::to_string(m.minor) : "-"));
    }
    return out;
}

TEST(MountTable, MountInfoLines) {
    struct Case {
        const char* what;
        const char* line;
        const char* entry;  // nullptr: the line is skipped
    };
    const Case cases[] = {
        {"escapes undone, options merged",
         R"(36 35 98:0 /mnt1 /mnt\0402 rw,noatime master:1 - ext3 /dev/root rw,errors=continue)",
         "/dev/root|/mnt 2|ext3|/mnt1|rw,noatime,errors=continue|98:0"},
        {"several optional fields",
         "62 35 1:22 / /u rw shared:1 master:2 unbindable - ext4 /dev/x ro",
         "/dev/x|/u|ext4|/|ro|1:22"},
        {"read-only mount of a writable file system", "47 35 1:7 / /m ro - ext4 /dev/v rw",
         "/dev/v|/m|ext4|/|ro|1:7"},
        {"both read-only", "67 35 1:27 / /o ro,nosuid - ext4 /dev/x ro,data=ordered",
         "/dev/x|/o|ext4|/|ro,nosuid,data=ordered|1:27"},
        {"a backslash escape and a type with a subtype",
         R"(41 35 0:8 /a\134b /w rw,relatime - fuse.sshfs u@h:/ rw,user_id=0)",
         R"(u@h:/|/w|fuse.sshfs|/a\b|rw,relatime,user_id=0|0:8)"},
        {"a cut-off escape stands for itself", R"(51 35 1:11 / /t\04 rw - ext4 /dev/x rw)",
         R"(/dev/x|/t\04|ext4|/|rw|1:11)"},
        {"mount ID 0: no device numbers", "0 35 1:28 / /z rw - ext4 /dev/x rw",
         "/dev/x|/z|ext4|/|rw|-"},
        {"no separator", "53 35 1:13 / /n - ext4 /dev/x rw", nullptr},
        {"no file-system options", "49 35 1:9 / /n rw - ext4 /dev/x", nullptr},
        {"device numbers that are none", "48 35 x:y / /n rw - ext4 /dev/x rw", nullptr},
        {"too few fields", "bad line", nullptr},
    };
    for (const auto& c : cases) {
        TreeBuilder tree;
        tree.file("/proc/self/mountinfo", std::string("# a comment\n\n") + c.line + "\n");
        const auto got = entries(tree);
        if (c.entry) {
            EXPECT_EQ(got, std::vector<std::string>{c.entry}) << c.what;
        } else {
            EXPECT_TRUE(got.empty()) << c.what;
        }
    }
}

TEST(MountTable, ProcMountsWhenThereIsNoMountInfo) {
    TreeBuilder tree;
    tree.file("/proc/mounts",
              "/dev/sda1 / ext4 rw,relatime 0 0\n"
              "srv:/x /mnt\\040sp nfs ro,vers=3 0 0\n"
              "bad\n"
              "/dev/sdb1 /b ext4\n");
    EXPECT_EQ(entries(tree), (std::vector<std::string>{"/dev/sda1|/|ext4|/|rw,relatime|-",
                                                       "srv:/x|/mnt sp|nfs|/|ro,vers=3|-",
                                                       "/dev/sdb1|/b|ext4|/||-"}));
    // Neither table: no mounts.
    EXPECT_TRUE(entries(TreeBuilder()).empty());
}

}  // namespace
}  // namespace tolvex::testing
