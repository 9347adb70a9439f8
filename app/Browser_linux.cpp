#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/Browser.h"

namespace tolvex {

namespace {

// The full path of an executable found on PATH, or the empty text.
std::string findOnPath(std::string_view program) {
    const char* path = std::getenv("PATH");
    const std::string_view folders = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::string_view folder = folders.substr(start, end - start);
        if (!folder.empty()) {
            std::string candidate(folder);
            candidate += '/';
            candidate += program;
            struct stat info {};
            if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
                ::access(candidate.c_str(), X_OK) == 0) {
                return candidate;
            }
        }
        start = end + 1;
    }
    return {};
}

// The desktop's default browser through xdg-open, started directly with the
// address as its one argument: no shell sees the address. It runs detached
// (its own session, reaped by init), so the program neither waits for it nor
// leaves a zombie; a failed exec is reported back through a pipe that closes
// on a successful one.
class DesktopBrowser : public BrowserLauncher {
  public:
    bool openAddress(const std::string& address) override {
        const std::string opener = findOnPath("xdg-open");
        if (opener.empty()) {
            return false;
        }
        // Everything the children need is made before fork.
        std::vector<char*> argv = {const_cast<char*>(opener.c_str()),
                                   const_cast<char*>(address.c_str()), nullptr};
        int status[2];
        if (::pipe2(status, O_CLOEXEC) != 0) {
            return false;
        }
        const pid_t child = ::fork();
        if (child < 0) {
            ::close(status[0]);
            ::close(status[1]);
            return false;
        }
        if (child == 0) {
            ::setsid();
            const pid_t grandchild = ::fork();
            if (grandchild == 0) {
                ::execv(argv[0], argv.data());
                const int error = errno;
                [[maybe_unused]] const ssize_t written = ::write(status[1], &error, sizeof error);
                ::_exit(127);
            }
            ::_exit(grandchild < 0 ? 1 : 0);
        }
        ::close(status[1]);
        int childStatus = 0;
        while (::waitpid(child, &childStatus, 0) < 0 && errno == EINTR) {
        }
        int error = 0;
        ssize_t got = 0;
        do {
            got = ::read(status[0], &error, sizeof error);
        } while (got < 0 && errno == EINTR);
        ::close(status[0]);
        const bool forked = WIFEXITED(childStatus) && WEXITSTATUS(childStatus) == 0;
        return forked && got == 0;
    }
};

}  // namespace

std::unique_ptr<BrowserLauncher> platformBrowser() {
    return std::make_unique<DesktopBrowser>();
}

}  // namespace tolvex
