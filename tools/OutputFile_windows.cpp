#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>

#include "tools/OutputFile.h"

namespace tolvex::query {

namespace {

// The path as the program's arguments give it: in the ANSI code page.
std::wstring widePath(const std::string& path) {
    if (path.empty()) {
        return {};
    }
    const int size = static_cast<int>(path.size());
    const int needed = MultiByteToWideChar(CP_ACP, 0, path.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(needed > 0 ? needed : 0), L'\0');
    if (needed > 0) {
        MultiByteToWideChar(CP_ACP, 0, path.data(), size, wide.data(), needed);
    }
    return wide;
}

// "path: the system's description of the error".
std::string failure(const std::string& path, DWORD error) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason = length > 0 && text ? std::string(text, length) : std::string();
    LocalFree(text);
    while (!reason.empty() && (reason.back() == '\r' || reason.back() == '\n' ||
                               reason.back() == ' ' || reason.back() == '.')) {
        reason.pop_back();
    }
    if (reason.empty()) {
        reason = "error " + std::to_string(error);
    }
    return path + ": " + reason;
}

// A name for the temporary file beside the target, not used before by this
// process: the process id, the clock and a counter. CREATE_NEW makes it this
// run's own; a name another run took already is passed over.
std::wstring temporaryName(const std::wstring& path) {
    static std::atomic<unsigned> counter{0};
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    wchar_t suffix[64];
    std::swprintf(suffix, sizeof suffix / sizeof suffix[0], L".tmp-%lx-%llx-%x",
                  static_cast<unsigned long>(GetCurrentProcessId()),
                  static_cast<unsigned long long>(now.QuadPart), counter.fetch_add(1));
    return path + suffix;
}

bool isSharingConflict(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
           error == ERROR_LOCK_VIOLATION;
}

}  // namespace

bool guardStandardStreams() {
    return true;
}

std::string writeWholeFile(const std::string& path, const std::string& bytes) {
    const std::wstring target = widePath(path);
    if (target.empty()) {
        return failure(path, ERROR_INVALID_NAME);
    }
    // The temporary name does not end in the target's suffix, so a reader
    // that picks files by suffix never takes it for a finished file.
    std::wstring temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = temporaryName(target);
        file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
                return failure(path, error);
            }
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        return failure(path, ERROR_FILE_EXISTS);
    }
    const auto fail = [&](DWORD error) {
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
        }
        DeleteFileW(temporary.c_str());
        return failure(path, error);
    };
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) {
            return fail(GetLastError());
        }
        done += written;
    }
    // On the disk before it takes the target's name, so the name never
    // stands for a file whose bytes are still in the cache.
    if (!FlushFileBuffers(file)) {
        return fail(GetLastError());
    }
    const HANDLE closing = file;
    file = INVALID_HANDLE_VALUE;
    if (!CloseHandle(closing)) {
        return fail(GetLastError());
    }
    // Replaces the target in one step, the rename itself flushed. A reader
    // that holds the old file open without sharing its deletion (a virus
    // scanner, an exporter mid-read) refuses the replacement for a moment:
    // tried again, for up to about a second.
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(temporary.c_str(), target.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return {};
        }
        const DWORD error = GetLastError();
        if (!isSharingConflict(error) || attempt == 20) {
            return fail(error);
        }
        Sleep(50);
    }
}

void useBinaryStandardOutput() {
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace tolvex::query
