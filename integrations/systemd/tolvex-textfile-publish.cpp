// tolvex-textfile-publish SOURCE TARGET: the one privileged step of
// tolvex-textfile.service. It copies the metrics file that the unprivileged
// step left in its runtime folder into the node exporter's textfile folder,
// which only root may write in.
//
// SOURCE lies in a folder an unprivileged account controls, so nothing about
// it is trusted: it is opened without following a symbolic link and without
// waiting on a FIFO's writer, taken only when it is a regular file with no
// other name (a hard link could name a file the account may not read) and no
// larger than kLimit bytes, and read through the descriptor that was checked.
// Anything else is refused with a message and status 1, and TARGET stays as
// it was. TARGET is written whole or not at all (a temporary file renamed
// over it), so the exporter reads the old metrics or the new ones.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/OutputFile.h"

namespace {

// The metrics of a server with 512 processors, 256 adapters and 1,000
// mounts take 271 KB; a file 60 times as large is no answer of
// tolvex-query's.
constexpr off_t kLimit = 16 << 20;

int refuse(const std::string& path, const std::string& reason) {
    std::fprintf(stderr, "tolvex-textfile-publish: %s: %s\n", path.c_str(), reason.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tolvex-textfile-publish SOURCE TARGET\n");
        return 64;
    }
    const std::string source = argv[1];
    const std::string target = argv[2];
    const int fd =
        ::open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return refuse(source,
                      errno == ELOOP ? "a symbolic link, not the metrics" : std::strerror(errno));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return refuse(source, std::strerror(error));
    }
    const char* wrong = !S_ISREG(info.st_mode)  ? "not a regular file"
                        : info.st_nlink != 1    ? "a file with more than one name"
                        : info.st_size > kLimit ? "larger than the metrics can be"
                                                : nullptr;
    if (wrong != nullptr) {
        ::close(fd);
        return refuse(source, wrong);
    }
    // The file may still grow while it is read: at most one byte past the
    // limit is read, which is enough to tell.
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            return refuse(source, std::strerror(error));
        }
        if (got == 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (bytes.size() > static_cast<std::size_t>(kLimit)) {
            ::close(fd);
            return refuse(source, "larger than the metrics can be");
        }
    }
    ::close(fd);
    if (const std::string failure = tolvex::query::writeWholeFile(target, bytes);
        !failure.empty()) {
        std::fprintf(stderr, "tolvex-textfile-publish: %s\n", failure.c_str());
        return 1;
    }
    return 0;
}
