#pragma once

#include <string>

namespace tolvex::query {

// Keeps the standard streams from being taken over: a descriptor 0, 1 or 2
// that was closed when the program started is opened on the null device, so
// a file opened later cannot receive what was meant for standard output.
// Returns whether standard output was open.
bool guardStandardStreams();

// Writes bytes to the file at path whole or not at all: into a temporary file
// of this call's own in the same folder, flushed to disk, then renamed over
// path (and the rename itself made durable), so a reader sees the old file or
// the new one, never a part, and two writers at once leave one whole file.
// The file is readable as the process's umask allows, like any file it
// creates. On failure the temporary file is removed and path is untouched.
// Returns the reason it failed ("path: reason"), empty on success.
std::string writeWholeFile(const std::string& path, const std::string& bytes);

// Makes standard output pass the bytes as they are: on Windows it is opened
// in text mode, which writes every LF as CR LF, where JSON readers and the
// Prometheus text format want LF alone. Nothing to do on Linux.
void useBinaryStandardOutput();

}  // namespace tolvex::query
