#pragma once

// A snapshot: another machine's answer, as `tolvex-query --format json`
// wrote it, read back as a management service. Besides one key per class
// it holds two keys whose colon no class name can contain: "tolvex:host",
// the host's name and IP addresses as the sockets layer found them, and
// "tolvex:origin", the program, version, platform and time that took it.
// An Ansible per-host result of the tolvex_facts module (the files of
// `ansible -t DIR`) holds the same answer under ansible_facts.tolvex.

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "net/HostAnswer.h"
#include "wmi/Management.h"
#include "wmi/StaticObject.h"

namespace tolvex::snapshot {

inline constexpr const char* kHostKey = "tolvex:host";
inline constexpr const char* kOriginKey = "tolvex:origin";

// Bounds a snapshot must keep; anything past them is refused, not read.
inline constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;
inline constexpr int kMaxDepth = 16;
inline constexpr std::size_t kMaxClasses = 256;
inline constexpr std::size_t kMaxInstances = 10000;  // of one class
inline constexpr std::size_t kMaxProperties = 1000;  // of one instance

struct Origin {
    std::string program;   // "tolvex-query"
    std::string version;   // "1.0.6"
    std::string platform;  // "Linux", "Windows"
    std::string taken;     // UTC, "2026-12-07T14:03:00Z"
};

struct Class {
    std::string name;
    std::vector<std::shared_ptr<const StaticObject>> instances;
};

struct Snapshot {
    std::vector<Class> classes;  // in the file's order
    std::optional<HostAnswer> host;
    std::optional<Origin> origin;
};

// Why a snapshot cannot be read, in words for its user.
class SnapshotError : public std::runtime_error {
  public:
    explicit SnapshotError(const std::string& message, bool unopened = false)
        : std::runtime_error(message), m_unopened(unopened) {}
    // The file could not be opened or read at all.
    bool unopened() const { return m_unopened; }

  private:
    bool m_unopened;
};

// Reads a snapshot from its bytes. Throws SnapshotError.
Snapshot parse(std::string_view bytes);

// Reads the snapshot file at path; the message names the file. Throws
// SnapshotError.
Snapshot readFile(const std::string& path);

// The management service answering from a snapshot: its classes (names
// matched without regard to case), instances in the file's order, values
// as the file gives them.
ServicePtr makeService(std::shared_ptr<const Snapshot> snapshot);

// The sockets layer's answer for the snapshot's host; a snapshot without one
// (an older tolvex-query's answer) gives the operating system's CSName and no
// addresses.
HostAnswer hostOf(const Snapshot& snapshot);

// The name of the machine the snapshot shows, for titles.
std::string hostNameOf(const Snapshot& snapshot);

}  // namespace tolvex::snapshot
