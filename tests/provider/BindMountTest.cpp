// Bind mounts among the drives: a mount of a directory inside a file system
// that is already a drive is left out, whatever the size of the table.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/provider/TreeBuilder.h"
#include "wmi/linux/DiskFacts.h"

namespace tolvex::testing {
namespace {

using linuxprov::MountEntry;

MountEntry mount(const std::string& target, const std::string& source, const std::string& root,
                 bool numbers = true, unsigned major = 8, unsigned minor = 1) {
    MountEntry m;
    m.source = source;
    m.target = target;
    m.fsType = "ext4";
    m.root = root;
    m.options = "rw";
    m.major = numbers ? major : 0;
    m.minor = numbers ? minor : 0;
    m.hasDeviceNumber = numbers;
    return m;
}

std::vector<std::string> targets(const std::vector<linuxprov::DriveMount>& drives) {
    std::vector<std::string> out;
    for (const auto& drive : drives) {
        out.push_back(drive.mount.target);
    }
    return out;
}

TEST(BindMounts, WhichMountsAreLeftOut) {
    struct Case {
        const char* what;
        std::vector<MountEntry> mounts;
        std::vector<std::string> kept;
    };
    const Case cases[] = {
        {"a directory of the root file system",
         {mount("/", "/dev/sda1", "/"), mount("/mnt/bind", "/dev/sda1", "/srv/data")},
         {"/"}},
        {"the same file system mounted twice whole",
         {mount("/a", "/dev/sda1", "/"), mount("/b", "/dev/sda1", "/")},
         {"/a", "/b"}},
        {"another device's directory",
         {mount("/", "/dev/sda1", "/"), mount("/mnt", "/dev/sda2", "/srv", true, 8, 2)},
         {"/", "/mnt"}},
        {"a sibling whose name only starts alike",
         {mount("/x", "/dev/sda1", "/srv"), mount("/y", "/dev/sda1", "/srvdata")},
         {"/x", "/y"}},
        {"nested binds under a bind of a directory",
         {mount("/x", "/dev/sda1", "/srv"), mount("/y", "/dev/sda1", "/srv/a/b"),
          mount("/z", "/dev/sda1", "/srv/a")},
         {"/x"}},
        {"the bind listed before the mount it comes from",
         {mount("/y", "/dev/sda1", "/home/me"), mount("/", "/dev/sda1", "/")},
         {"/"}},
        {"device numbers decide over sources",
         {mount("/", "/dev/root", "/"), mount("/b", "/dev/sda1", "/srv")},
         {"/"}},
        {"same source, other device numbers",
         {mount("/", "/dev/sda1", "/", true, 8, 1), mount("/b", "/dev/sda1", "/srv", true, 8, 9)},
         {"/", "/b"}},
        {"without numbers the sources decide",
         {mount("/", "/dev/sda1", "/", false), mount("/b", "/dev/sda1", "/srv", false),
          mount("/c", "/dev/sda2", "/srv", false)},
         {"/", "/c"}},
        {"one side without numbers compares sources",
         {mount("/", "/dev/sda1", "/", false), mount("/b", "/dev/sda1", "/srv", true, 8, 7),
          mount("/c", "/dev/sdb1", "/srv", true, 8, 1)},
         {"/", "/c"}},
    };
    TreeBuilder tree;
    const linuxprov::FileTree files(tree.root());
    for (const auto& c : cases) {
        EXPECT_EQ(targets(linuxprov::selectDrives(files, c.mounts)), c.kept) << c.what;
    }
}

// The rule written out pair by pair: a drive is left out when another drive
// of the same file system has a root that its root lies inside.
bool inside(const std::string& inner, const std::string& outer) {
    if (outer == "/") {
        return inner != "/";
    }
    return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
           inner[outer.size()] == '/';
}

std::vector<std::string> keptPairByPair(const std::vector<MountEntry>& mounts) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < mounts.size(); ++i) {
        bool bind = false;
        for (std::size_t j = 0; j < mounts.size() && !bind; ++j) {
            const MountEntry& a = mounts[i];
            const MountEntry& b = mounts[j];
            if (i == j || !inside(a.root, b.root)) {
                continue;
            }
            bind = a.hasDeviceNumber && b.hasDeviceNumber ? a.major == b.major && a.minor == b.minor
                                                          : a.source == b.source;
        }
        if (!bind) {
            out.push_back(mounts[i].target);
        }
    }
    return out;
}

TEST(BindMounts, AgreesWithThePairwiseRuleOnRandomTables) {
    // Roots chosen to collide: prefixes that are and are not directories
    // above one another, doubled slashes, and the empty root.
    const std::vector<std::string> roots = {"/",     "/a",  "/a/b", "/a/b/c", "/ab",
                                            "/a//b", "/a/", "",     "/b",     "/b/a"};
    std::mt19937 random(20240611u);
    TreeBuilder tree;
    const linuxprov::FileTree files(tree.root());
    for (int round = 0; round < 300; ++round) {
        std::vector<MountEntry> mounts;
        const int count = 1 + static_cast<int>(random() % 12);
        for (int k = 0; k < count; ++k) {
            const auto device = static_cast<unsigned>(random() % 3);
            mounts.push_back(mount("/m" + std::to_string(k),
                                   "/dev/sd" + std::to_string(random() % 3),
                                   roots[random() % roots.size()], random() % 4 != 0, 8, device));
        }
        ASSERT_EQ(targets(linuxprov::selectDrives(files, mounts)), keptPairByPair(mounts))
            << "round " << round;
    }
}

}  // namespace
}  // namespace tolvex::testing
