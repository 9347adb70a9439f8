#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "tools/OutputFile.h"

namespace tolvex::query {

bool guardStandardStreams() {
    bool outputOpen = true;
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            if (fd == 1) {
                outputOpen = false;
            }
            // open() takes the lowest free descriptor, which is this one.
            ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        }
    }
    return outputOpen;
}

namespace {

// The process's umask as the kernel reports it (since Linux 4.7). Reading it
// with umask() means setting it, which would change it for a moment under
// every other thread of the process.
std::optional<mode_t> currentUmask() {
    std::FILE* status = std::fopen("/proc/self/status", "re");
    if (status == nullptr) {
        return std::nullopt;
    }
    std::optional<mode_t> mask;
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr) {
        unsigned value = 0;
        if (std::sscanf(line, "Umask: %o", &value) == 1) {
            mask = static_cast<mode_t>(value & 0777);
            break;
        }
    }
    std::fclose(status);
    return mask;
}

// The folder that holds path, for syncing the rename in it.
std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string writeWholeFile(const std::string& path, const std::string& bytes) {
    // The temporary name does not end in the target's suffix, so a reader
    // that picks files by suffix (the textfile collector reads *.prom) never
    // takes it for a finished file. Close-on-exec, so no program this one
    // might start could hold it open.
    std::string temporary = path + ".tmp-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return path + ": " + std::strerror(errno);
    }
    const auto fail = [&](int error) {
        ::close(fd);
        ::unlink(temporary.c_str());
        return path + ": " + std::strerror(error);
    };
    // mkstemp makes the file 0600; it gets the mode any file this process
    // creates would. Where the kernel does not tell the umask, it stays
    // private, the safe side.
    if (const auto mask = currentUmask(); mask && ::fchmod(fd, 0666 & ~*mask) != 0) {
        return fail(errno);
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail(errno);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
        return fail(errno);
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return path + ": " + std::strerror(error);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return path + ": " + std::strerror(error);
    }
    // The rename is an entry in the folder: synced, the new file is what a
    // crash or power cut leaves. A folder this process may write in but not
    // open, or a file system that cannot sync folders (EINVAL), keeps the
    // entry as it keeps it; an error of the disk is reported.
    if (const int folder = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        folder >= 0) {
        const int error = ::fsync(folder) == 0 ? 0 : errno;
        ::close(folder);
        if (error != 0 && error != EINVAL) {
            return path + ": " + std::strerror(error);
        }
    }
    return {};
}

void useBinaryStandardOutput() {}

}  // namespace tolvex::query
