#pragma once

// The exit statuses both programs share, from sysexits.h: tolvex for its
// command line and the snapshot it names, tolvex-query for its options, its
// snapshot and its root.
namespace tolvex {

inline constexpr int kCommandLineUsage = 64;  // EX_USAGE: an unknown option, one without its value
inline constexpr int kSnapshotUnusable = 65;  // EX_DATAERR: the file is not a snapshot
inline constexpr int kInputUnopened = 66;     // EX_NOINPUT: a snapshot or root that cannot be read

}  // namespace tolvex
