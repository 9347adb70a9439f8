// The desktop browser start on Linux, through a stand-in xdg-open that
// records how it was started.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "app/Browser.h"

namespace {

namespace fs = std::filesystem;

void writeScript(const fs::path& path, const std::string& body) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << body;
    fs::permissions(path, fs::perms::owner_all);
}

// The record the stand-in writes, once it is whole (it is renamed into
// place), or the empty text when none comes within ten seconds.
std::string awaitRecord(const fs::path& record) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(record) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::ifstream in(record);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class DesktopBrowserTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tolvex-browser-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_oldDir = fs::current_path();
        const char* path = std::getenv("PATH");
        m_oldPath = path ? path : "";
        fs::current_path(m_dir);
        // The stand-in: its argument, whether it leads its own session, and
        // the signals it has blocked and ignored.
        // (The signal state is read first: the shell blocks signals of its
        // own while it runs a command group.)
        const std::string record = (m_dir / "record").string();
        writeScript(m_dir / "bin" / "xdg-open",
                    "#!/bin/sh\n"
                    "PATH=/usr/bin:/bin\n"
                    "signals=$(grep -E '^Sig(Blk|Ign):' /proc/$$/status)\n"
                    "read pid comm state ppid group session rest < /proc/$$/stat\n"
                    "{ echo \"address=$1\"; [ \"$session\" = \"$$\" ] && echo own-session\n"
                    "  echo \"$signals\"; } > " +
                        record + ".tmp\nmv " + record + ".tmp " + record + "\n");
        // Where an empty or a relative PATH entry would find one.
        const std::string planted =
            "#!/bin/sh\necho planted > " + (m_dir / "record").string() + "\n";
        writeScript(m_dir / "xdg-open", planted);
        writeScript(m_dir / "rel" / "xdg-open", planted);
    }
    void TearDown() override {
        fs::current_path(m_oldDir);
        ::setenv("PATH", m_oldPath.c_str(), 1);
        fs::remove_all(m_dir);
    }

    fs::path m_dir;
    fs::path m_oldDir;
    std::string m_oldPath;
};

TEST_F(DesktopBrowserTest, OnlyAbsolutePathEntriesAreSearchedAndTheBrowserInheritsNoSignalState) {
    const auto browser = tolvex::platformBrowser();
    const std::string bin = (m_dir / "bin").string();
    // The program's own signal state, which the browser must not inherit.
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &blocked, &previous), 0);
    const auto oldHandler = ::signal(SIGUSR2, SIG_IGN);
    for (const std::string& path : {"rel:" + bin, ":" + bin, "." + std::string(":") + bin, bin}) {
        SCOPED_TRACE(path);
        fs::remove(m_dir / "record");
        ::setenv("PATH", path.c_str(), 1);
        ASSERT_TRUE(browser->openAddress("https://tolvex.org/?a=1&b='x'"));
        const std::string seen = awaitRecord(m_dir / "record");
        EXPECT_EQ(seen.substr(0, seen.find("SigBlk")),
                  "address=https://tolvex.org/?a=1&b='x'\nown-session\n");
        EXPECT_NE(seen.find("SigBlk:\t0000000000000000\n"), std::string::npos) << seen;
        // The C library ignores two real-time signals of its own in the
        // child; the program's ignored SIGUSR2 must be back at its default.
        const auto ignored = seen.find("SigIgn:\t");
        ASSERT_NE(ignored, std::string::npos) << seen;
        const unsigned long long mask = std::stoull(seen.substr(ignored + 8, 16), nullptr, 16);
        EXPECT_EQ(mask & (1ull << (SIGUSR2 - 1)), 0u) << seen;
    }
    ::signal(SIGUSR2, oldHandler);
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

TEST_F(DesktopBrowserTest, AnOpenerThatCannotStartOrIsOnlyOnARelativePathIsAFailure) {
    const auto browser = tolvex::platformBrowser();
    // Only relative and empty entries hold one.
    ::setenv("PATH", "rel::.", 1);
    EXPECT_FALSE(browser->openAddress("https://tolvex.org/"));
    // One whose interpreter does not exist: the exec fails.
    writeScript(m_dir / "bin" / "xdg-open", "#!/nonexistent/interpreter\n");
    ::setenv("PATH", (m_dir / "bin").string().c_str(), 1);
    EXPECT_FALSE(browser->openAddress("https://tolvex.org/"));
    EXPECT_FALSE(fs::exists(m_dir / "record"));
}

}  // namespace
