#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/ExitStatus.h"
#include "wmi/Management.h"
#include "wmi/snapshot/Snapshot.h"

namespace tolvex {

// What the program shows, from its command line: this machine, or another
// machine's snapshot (--snapshot FILE), read and checked before any window
// is built. Other arguments are ignored, as they always were.
// The exit status of an error is kCommandLineUsage, kSnapshotUnusable or
// kInputUnopened (base/ExitStatus.h).
struct ProgramChoice {
    std::shared_ptr<const snapshot::Snapshot> snapshot;  // null: this machine
    std::string error;                                   // why it cannot start
    int status = 0;                                      // its exit status then
};

// The arguments after the program's name.
ProgramChoice readCommandLine(const std::vector<std::string>& arguments);

// The usage line that follows an error.
inline constexpr const char* kProgramUsage = "usage: tolvex [--snapshot FILE]";

// The main window's title over a snapshot: the window's own caption, the
// machine's name and "snapshot", so it cannot be taken for this machine.
std::string snapshotTitle(const snapshot::Snapshot& snapshot, const std::string& caption);

// Connects every moniker to the snapshot's service.
ServicePtr connectSnapshot(const std::shared_ptr<const snapshot::Snapshot>& snapshot,
                           std::string_view moniker);

}  // namespace tolvex
