#pragma once

// A snapshot: a machine's answer written down (write, the JSON form of
// `tolvex-query`) and read back on another machine as a management service
// (parse, readFile, makeService); the format's writer and reader live here
// side by side. Besides one key per class
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

#include "wmi/HostRecord.h"
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
    std::optional<HostRecord> host;
    std::optional<Origin> origin;
};

// The instances of one class, in the order the service gave them.
struct ClassAnswer {
    std::string className;
    std::vector<ObjectPtr> instances;
};

// The snapshot of these answers, as `tolvex-query --format json` writes
// it: one JSON object keyed by class name; each class a list of
// {"path": ..., "properties": {...}, "reasons": {...}} in the service's
// property order. Null is null, Booleans true/false, integers as integers,
// reals with a decimal point or an exponent and as many digits as read back
// the same (one that is not finite is null), texts as strings. "reasons"
// holds, for each Null property the service explains, {"reason": words,
// "source": ..., "remedy": ...} (source and remedy only where there are
// some). Given a host and an origin, it is a snapshot: they follow the
// classes as "tolvex:host" and "tolvex:origin".
std::string write(const std::vector<ClassAnswer>& answers, const HostRecord* host = nullptr,
                  const Origin* origin = nullptr);

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
HostRecord hostOf(const Snapshot& snapshot);

// The name of the machine the snapshot shows, for titles.
std::string hostNameOf(const Snapshot& snapshot);

}  // namespace tolvex::snapshot
