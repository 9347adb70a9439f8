#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "app/Browser.h"

extern char** environ;

namespace tolvex {

namespace {

// The full path of an executable found on PATH, or the empty text. Only
// absolute folders count: an empty or relative entry names the current
// folder, which is wherever the program was started from, and a browser
// found there could be anybody's.
std::string findOnPath(std::string_view program) {
    const char* path = std::getenv("PATH");
    const std::string_view folders = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::string_view folder = folders.substr(start, end - start);
        if (!folder.empty() && folder.front() == '/') {
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

// posix_spawn's attributes, released however the start ends.
class SpawnAttributes {
  public:
    SpawnAttributes() { m_ready = ::posix_spawnattr_init(&m_attributes) == 0; }
    ~SpawnAttributes() {
        if (m_ready) {
            ::posix_spawnattr_destroy(&m_attributes);
        }
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;

    // Its own session, no signal blocked and every catchable signal at its
    // default action: the browser inherits none of what this program (or its
    // toolkit) set up for itself.
    bool detached() {
        sigset_t none;
        sigset_t all;
        sigemptyset(&none);
        sigfillset(&all);
        sigdelset(&all, SIGKILL);
        sigdelset(&all, SIGSTOP);
        return m_ready &&
               ::posix_spawnattr_setflags(&m_attributes, POSIX_SPAWN_SETSID |
                                                             POSIX_SPAWN_SETSIGMASK |
                                                             POSIX_SPAWN_SETSIGDEF) == 0 &&
               ::posix_spawnattr_setsigmask(&m_attributes, &none) == 0 &&
               ::posix_spawnattr_setsigdefault(&m_attributes, &all) == 0;
    }
    const posix_spawnattr_t* get() const { return &m_attributes; }

  private:
    posix_spawnattr_t m_attributes{};
    bool m_ready = false;
};

// The desktop's default browser through xdg-open, started directly with the
// address as its one argument: no shell sees the address. posix_spawn starts
// it without copying this multithreaded process and reports a failed exec as
// its result. The program does not wait for the browser; a thread of its own
// collects its exit status, so no zombie is left behind.
class DesktopBrowser : public BrowserLauncher {
  public:
    bool openAddress(const std::string& address) override {
        const std::string opener = findOnPath("xdg-open");
        if (opener.empty()) {
            return false;
        }
        std::vector<char*> argv = {const_cast<char*>(opener.c_str()),
                                   const_cast<char*>(address.c_str()), nullptr};
        SpawnAttributes attributes;
        if (!attributes.detached()) {
            return false;
        }
        pid_t child = 0;
        if (::posix_spawn(&child, opener.c_str(), nullptr, attributes.get(), argv.data(),
                          environ) != 0) {
            return false;
        }
        try {
            std::thread([child] {
                while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
                }
            }).detach();
        } catch (const std::system_error&) {
            // No thread to spare: the browser runs all the same, and its
            // status is collected when this program ends.
        }
        return true;
    }
};

}  // namespace

std::unique_ptr<BrowserLauncher> platformBrowser() {
    return std::make_unique<DesktopBrowser>();
}

}  // namespace tolvex
