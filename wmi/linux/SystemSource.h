#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wmi/linux/Udisks.h"

namespace tolvex::linuxprov {

// Every file the provider reads goes through a root directory ("/" on the
// live machine, a captured tree in tests). Paths are absolute, as on the
// machine: "/proc/cpuinfo". The tree remembers what the last read or
// listing of each path came to, so that a value that could not be had can
// say why. A captured tree's sidecar may record reads that failed on the
// machine it was taken from ("read:/sys/firmware/dmi/tables/DMI = EACCES");
// they fail here the same way.
class FileTree {
  public:
    explicit FileTree(std::string root = "/");

    // The file's bytes, at most `limit` of them; no value when it cannot be
    // read (missing, unreadable, a directory).
    std::optional<std::string> read(std::string_view path, std::size_t limit = 16u << 20) const;
    // The names in a directory, sorted; empty when it cannot be read.
    std::vector<std::string> list(std::string_view path) const;
    // The target of a symbolic link, as stored; no value when it is none.
    std::optional<std::string> readLink(std::string_view path) const;
    bool exists(std::string_view path) const;
    bool isDirectory(std::string_view path) const;
    // The path on this machine's file system.
    std::string resolve(std::string_view path) const;
    const std::string& root() const { return m_root; }
    // The error number of the last read or listing of a path: 0 when it
    // succeeded, no value when the path was never read.
    std::optional<int> outcome(std::string_view path) const;

  private:
    void record(std::string_view path, int error) const;
    // The failure the sidecar records for a path, if any.
    std::optional<int> recordedFailure(std::string_view path) const;

    struct Outcomes {
        std::mutex mutex;
        std::map<std::string, int, std::less<>> byPath;
    };
    std::string m_root;  // without a trailing slash; empty for "/"
    std::map<std::string, int, std::less<>> m_recordedFailures;
    std::shared_ptr<Outcomes> m_outcomes = std::make_shared<Outcomes>();
};

struct UnameInfo {
    std::string sysname;
    std::string release;
    std::string version;
    std::string machine;
};

struct FileSystemSpace {
    std::uint64_t blockSize = 0;        // f_frsize
    std::uint64_t totalBlocks = 0;      // f_blocks
    std::uint64_t freeBlocks = 0;       // f_bfree
    std::uint64_t availableBlocks = 0;  // f_bavail: what an ordinary user may still write
};

// What the provider learns from system calls rather than files.
class SysCalls {
  public:
    virtual ~SysCalls() = default;
    virtual std::optional<std::string> hostName() const = 0;
    virtual std::optional<UnameInfo> uname() const = 0;
    // The space of the file system mounted at a point, asked directly: for
    // file systems the kernel answers from memory (local block devices, RAM
    // disks). No value when it cannot be had.
    virtual std::optional<FileSystemSpace> statvfs(const std::string& mountPoint) const = 0;
    // The spaces of file systems that may never answer (network and FUSE
    // mounts), asked all at once: together they take at most `timeout`, so
    // several dead mounts cost one wait, not one each. One answer per mount
    // point, in order; no value for those that did not answer in time.
    virtual std::vector<std::optional<FileSystemSpace>> boundedStatvfs(
        const std::vector<std::string>& mountPoints, std::chrono::milliseconds timeout) const = 0;
    // The local zone's offset from UTC, in minutes, at a moment (seconds
    // since the epoch).
    virtual int utcOffsetMinutes(std::int64_t epochSeconds) const = 0;
    // Whether the last bounded ask of a mount point's space went
    // unanswered within its bound (rather than failing).
    virtual bool hung(const std::string& /*mountPoint*/) const { return false; }
    // What udisks says about the drives, asked over the system bus within
    // kUdisksTimeout; asked only by the drive classes, never at start-up. A
    // source of system calls without a bus answers that it has none.
    virtual UdisksAnswer udisks() const;
};

// Asks `call` for the space of each mount point, each on a thread of its
// own, all at once, and waits until every one has answered or `limit` has
// passed. One answer per mount point, in order; no value for those that had
// not answered by then (their threads finish on their own, so `call` must
// hold what it uses). Used for mounts that may never answer.
using SpaceCall = std::function<std::optional<FileSystemSpace>(const std::string& mountPoint)>;
std::vector<std::optional<FileSystemSpace>> spacesWithin(
    const std::vector<std::string>& mountPoints, std::chrono::milliseconds limit,
    const SpaceCall& call);

// The running machine's system calls.
std::shared_ptr<const SysCalls> liveSysCalls();

// The system calls of a captured machine, answered from the sidecar file
// "tolvex-syscalls.ini" at the tree's root (key = value lines):
//   hostname, sysname, release, version, machine,
//   timezone (a zone of /usr/share/zoneinfo such as Australia/Adelaide) or
//   utc_offset_minutes,
//   statvfs:/mount/point = frsize blocks bfree bavail   (or "hang"),
//   read:/some/file = EACCES (or EPERM, ENOENT, EIO, ETIMEDOUT, "hang"):
//     a read that failed so on the captured machine (see FileTree),
//   system_bus = unix:path=/some/socket: the D-Bus system bus to ask udisks
//     on (a test's own bus); without it udisks answers as absent
// Keys it lacks answer as unknown. A "hang" stands for a mount that gave no
// answer within the bound when the machine was captured: unknown either way,
// at once.
std::shared_ptr<const SysCalls> sidecarSysCalls(const std::string& root);

// The key = value lines of a captured tree's sidecar; empty without one.
std::map<std::string, std::string> sidecarValues(const std::string& root);

}  // namespace tolvex::linuxprov
