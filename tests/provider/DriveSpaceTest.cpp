// How logical disks ask for their space: local and RAM file systems
// directly, those that may hang (network, FUSE) together under one bound.

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "tests/provider/TreeBuilder.h"
#include "wmi/WmiNames.h"
#include "wmi/linux/DiskFacts.h"
#include "wmi/linux/LinuxService.h"
#include "wmi/linux/SystemSource.h"

namespace tolvex::testing {
namespace {

namespace prop = wmi::prop;

TEST(DriveSpace, WhichFileSystemsMayHang) {
    struct Case {
        const char* type;
        bool mayHang;
    };
    const Case cases[] = {
        {"nfs", true},
        {"nfs4", true},
        {"cifs", true},
        {"smb3", true},
        {"smbfs", true},
        {"fuse.sshfs", true},
        {"9p", true},
        {"ceph", true},
        {"glusterfs", true},
        {"fuse.glusterfs", true},
        {"davfs", true},
        {"afs", true},
        {"virtiofs", true},
        {"fuse", true},
        {"fuseblk", true},
        {"fuse.rclone", true},
        {"fuse.anything", true},
        {"ext4", false},
        {"xfs", false},
        {"btrfs", false},
        {"vfat", false},
        {"tmpfs", false},
        {"ramfs", false},
        {"iso9660", false},
        {"ntfs3", false},
        {"exfat", false},
        {"fusectl", false},
        {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(linuxprov::spaceMayHang(c.type), c.mayHang) << c.type;
    }
}

// Records which mount points were asked how, and answers with a size made
// from the mount point's length so answers cannot be swapped unnoticed.
class RecordingSysCalls : public linuxprov::SysCalls {
  public:
    std::optional<std::string> hostName() const override { return "host"; }
    std::optional<linuxprov::UnameInfo> uname() const override { return std::nullopt; }
    std::optional<linuxprov::FileSystemSpace> statvfs(
        const std::string& mountPoint) const override {
        std::lock_guard lock(m_mutex);
        direct.push_back(mountPoint);
        return answer(mountPoint);
    }
    std::vector<std::optional<linuxprov::FileSystemSpace>> boundedStatvfs(
        const std::vector<std::string>& mountPoints, std::chrono::milliseconds) const override {
        std::lock_guard lock(m_mutex);
        bounded.push_back(mountPoints);
        std::vector<std::optional<linuxprov::FileSystemSpace>> out;
        for (const auto& point : mountPoints) {
            out.push_back(point == "/net/dead" ? std::nullopt : answer(point));
        }
        return out;
    }
    int utcOffsetMinutes(std::int64_t) const override { return 0; }

    static std::optional<linuxprov::FileSystemSpace> answer(const std::string& point) {
        return linuxprov::FileSystemSpace{1024, point.size(), 0, point.size()};
    }

    mutable std::vector<std::string> direct;
    mutable std::vector<std::vector<std::string>> bounded;

  private:
    mutable std::mutex m_mutex;
};

TEST(DriveSpace, OnlyMountsThatMayHangAreBoundedAndAllOfThemInOneCall) {
    TreeBuilder tree;
    tree.file("/proc/self/mountinfo",
              "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
              "21 20 0:40 / /net/a rw - nfs4 server:/a rw\n"
              "22 20 0:41 / /run rw - tmpfs tmpfs rw\n"
              "23 20 0:42 / /home/me/remote rw - fuse.sshfs me@host: rw\n"
              "24 20 0:43 / /net/dead rw - cifs //server/share rw\n"
              "25 20 8:2 / /win rw - fuseblk /dev/sda2 rw\n"
              "26 20 0:44 / /srv rw - xfs /dev/sdb1 rw\n");
    const linuxprov::FileTree files(tree.root());
    const RecordingSysCalls sys;
    const linuxprov::ProviderContext context{files, sys, "HOST"};
    const auto disks = linuxprov::enumerateLogicalDisks(context);

    EXPECT_EQ(std::set<std::string>(sys.direct.begin(), sys.direct.end()),
              (std::set<std::string>{"/", "/run", "/srv"}));
    ASSERT_EQ(sys.bounded.size(), 1u);
    EXPECT_EQ(std::set<std::string>(sys.bounded[0].begin(), sys.bounded[0].end()),
              (std::set<std::string>{"/net/a", "/home/me/remote", "/net/dead", "/win"}));

    // Every drive gets its own answer back, whichever way it was asked.
    ASSERT_EQ(disks.size(), 7u);
    for (const auto& disk : disks) {
        const std::string point = shown(disk, prop::DeviceID);
        SCOPED_TRACE(point);
        if (point == "/net/dead") {
            EXPECT_EQ(shown(disk, prop::Size), "<null>");
        } else {
            EXPECT_EQ(shown(disk, prop::Size), std::to_string(1024 * point.size()));
        }
    }
}

TEST(DriveSpace, NoMountThatMayHangMeansNoBoundedCall) {
    TreeBuilder tree;
    tree.file("/proc/self/mountinfo", "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n");
    const linuxprov::FileTree files(tree.root());
    const RecordingSysCalls sys;
    const linuxprov::ProviderContext context{files, sys, "HOST"};
    EXPECT_EQ(linuxprov::enumerateLogicalDisks(context).size(), 1u);
    EXPECT_TRUE(sys.bounded.empty());
}

TEST(DriveSpace, LiveBoundedCallAnswersEachMountInOrder) {
    const auto sys = linuxprov::liveSysCalls();
    const auto direct = sys->statvfs("/");
    ASSERT_TRUE(direct.has_value());
    const auto answers =
        sys->boundedStatvfs({"/", "/no/such/mount/point", "/"}, std::chrono::seconds(30));
    ASSERT_EQ(answers.size(), 3u);
    ASSERT_TRUE(answers[0].has_value());
    EXPECT_FALSE(answers[1].has_value());
    ASSERT_TRUE(answers[2].has_value());
    EXPECT_EQ(answers[0]->blockSize, direct->blockSize);
    EXPECT_EQ(answers[0]->totalBlocks, direct->totalBlocks);
    EXPECT_TRUE(sys->boundedStatvfs({}, std::chrono::seconds(30)).empty());
    EXPECT_FALSE(sys->statvfs("/no/such/mount/point").has_value());
}

TEST(DriveSpace, SidecarAnswersBothWaysAndAHangAsUnknown) {
    TreeBuilder tree;
    tree.file("/tolvex-syscalls.ini",
              "statvfs:/ = 4096 100 50 40\n"
              "statvfs:/net/dead = hang\n"
              "statvfs:/bad = 4096 many\n");
    const auto sys = linuxprov::sidecarSysCalls(tree.root());
    const auto root = sys->statvfs("/");
    ASSERT_TRUE(root.has_value());
    EXPECT_EQ(root->availableBlocks, 40u);
    EXPECT_FALSE(sys->statvfs("/net/dead").has_value());
    EXPECT_FALSE(sys->statvfs("/bad").has_value());
    EXPECT_FALSE(sys->statvfs("/missing").has_value());

    const auto answers = sys->boundedStatvfs({"/net/dead", "/", "/missing"}, std::chrono::hours(1));
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_FALSE(answers[0].has_value());
    ASSERT_TRUE(answers[1].has_value());
    EXPECT_EQ(answers[1]->totalBlocks, 100u);
    EXPECT_FALSE(answers[2].has_value());
}

// A call that blocks on "/net/dead" until the test releases it, as statvfs
// does on a dead server. Everything it touches is shared with the threads,
// which may outlive the bounded call.
struct BlockingSpaceCall {
    struct Gate {
        std::mutex mutex;
        std::condition_variable changed;
        bool released = false;
        int blocked = 0;
        int returned = 0;
    };
    std::shared_ptr<Gate> gate = std::make_shared<Gate>();

    linuxprov::SpaceCall call() const {
        return
            [gate = gate](const std::string& point) -> std::optional<linuxprov::FileSystemSpace> {
                if (point != "/net/dead") {
                    return linuxprov::FileSystemSpace{512, point.size(), 0, 1};
                }
                std::unique_lock lock(gate->mutex);
                ++gate->blocked;
                gate->changed.notify_all();
                gate->changed.wait(lock, [&] { return gate->released; });
                ++gate->returned;
                gate->changed.notify_all();
                return linuxprov::FileSystemSpace{512, 1, 1, 1};
            };
    }
    // Lets the blocked calls return and waits (bounded) until they have.
    bool releaseAndJoin(int expected) const {
        std::unique_lock lock(gate->mutex);
        gate->released = true;
        gate->changed.notify_all();
        return gate->changed.wait_for(lock, std::chrono::seconds(30),
                                      [&] { return gate->returned == expected; });
    }
};

TEST(DriveSpace, AMountThatNeverAnswersRunsOutTheLimitAndTheOthersAnswer) {
    const BlockingSpaceCall blocking;
    const auto answers = linuxprov::spacesWithin({"/net/a", "/net/dead", "/home/me/remote"},
                                                 std::chrono::milliseconds(20), blocking.call());
    {
        // The answers came back while the call was still blocked: the
        // time-out ended the wait, not the call.
        std::lock_guard lock(blocking.gate->mutex);
        EXPECT_EQ(blocking.gate->blocked, 1);
        EXPECT_EQ(blocking.gate->returned, 0);
    }
    ASSERT_EQ(answers.size(), 3u);
    ASSERT_TRUE(answers[0].has_value());
    EXPECT_EQ(answers[0]->totalBlocks, 6u);
    EXPECT_FALSE(answers[1].has_value());
    ASSERT_TRUE(answers[2].has_value());
    EXPECT_EQ(answers[2]->totalBlocks, 15u);
    EXPECT_TRUE(blocking.releaseAndJoin(1));
}

TEST(DriveSpace, CallsThatAllAnswerEndTheWaitBeforeTheLimit) {
    // With an hour's limit, returning at all shows that the wait ended when
    // the last answer came.
    const BlockingSpaceCall blocking;
    const auto answers =
        linuxprov::spacesWithin({"/a", "/bb"}, std::chrono::hours(1), blocking.call());
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[1]->totalBlocks, 3u);
    EXPECT_TRUE(linuxprov::spacesWithin({}, std::chrono::hours(1), blocking.call()).empty());
}

}  // namespace
}  // namespace tolvex::testing
