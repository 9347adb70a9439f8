// tolvex-query's --output on Windows: whole or not at all, also when two runs
// write the same file at once.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>

#include "tools/OutputFile.h"

namespace {

namespace fs = std::filesystem;
using tolvex::query::writeWholeFile;

class WinOutputFile : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir =
            fs::temp_directory_path() / ("tolvex-output-" + std::to_string(GetCurrentProcessId()) +
                                         "-" + std::to_string(GetTickCount64()));
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }

    std::string path(const std::string& name) const { return (m_dir / name).string(); }

    std::set<std::string> names() const {
        std::set<std::string> out;
        for (const auto& entry : fs::directory_iterator(m_dir)) {
            out.insert(entry.path().filename().string());
        }
        return out;
    }

    static std::string contents(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path m_dir;
};

// An answer of some hundred kilobytes, each line naming its writer, so a
// file put together from two answers cannot pass for either.
std::string answer(char writer, int lines) {
    std::string out;
    for (int k = 0; k < lines; ++k) {
        out += std::string(1, writer) + " line " + std::to_string(k) + " of " +
               std::to_string(lines) + std::string(64, writer) + "\r\n";
    }
    return out;
}

TEST_F(WinOutputFile, TwoWritersAtOnceLeaveOneWholeAnswer) {
    const std::string target = path("machine.prom");
    const std::string first = answer('a', 4000);
    const std::string second = answer('b', 5000);
    for (int round = 0; round < 12; ++round) {
        std::string failures[2];
        // Both threads start writing together, meeting at a flag they spin
        // on. The run once hung here under Wine while they met at a
        // std::latch, which the MinGW runtime builds on an emulated futex.
        std::atomic<int> ready{0};
        const auto together = [&ready] {
            ready.fetch_add(1);
            while (ready.load() < 2) {
                std::this_thread::yield();
            }
        };
        std::thread one([&] {
            together();
            failures[0] = writeWholeFile(target, first);
        });
        std::thread two([&] {
            together();
            failures[1] = writeWholeFile(target, second);
        });
        one.join();
        two.join();
        EXPECT_EQ(failures[0], "") << "round " << round;
        EXPECT_EQ(failures[1], "") << "round " << round;
        const std::string found = contents(target);
        EXPECT_TRUE(found == first || found == second)
            << "round " << round << ": " << found.size() << " bytes, neither answer whole";
        // No temporary file is left beside it.
        EXPECT_EQ(names(), std::set<std::string>{"machine.prom"}) << "round " << round;
    }
}

TEST_F(WinOutputFile, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
    const std::string target = path("machine.prom");
    ASSERT_EQ(writeWholeFile(target, "old\n"), "");
    // A folder cannot be replaced by a file, and a missing folder holds none.
    fs::create_directory(m_dir / "taken");
    for (const std::string& bad : {path("taken"), path("missing\\machine.prom")}) {
        const std::string failure = writeWholeFile(bad, "new\n");
        EXPECT_EQ(failure.rfind(bad + ": ", 0), 0u) << failure;
        EXPECT_GT(failure.size(), bad.size() + 2);
    }
    EXPECT_EQ(names(), (std::set<std::string>{"machine.prom", "taken"}));
    EXPECT_TRUE(fs::is_empty(m_dir / "taken"));
    EXPECT_EQ(contents(target), "old\n");
    ASSERT_EQ(writeWholeFile(target, "new\n"), "");
    EXPECT_EQ(contents(target), "new\n");
}

}  // namespace
