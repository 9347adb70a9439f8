// Replays the inputs the fuzzers found (fuzz/regressions/<target>/) and the
// captured machines' files through the same fuzz targets, so a finding stays
// fixed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz/FuzzTargets.h"

namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void replay(tolvex::fuzz::Target target, const fs::path& file) {
    const std::string data = readAll(file);
    target(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
}

// Each kept input runs its target in a child process: a target traps when
// an invariant breaks, and the trap must fail this test, not end it.
TEST(FuzzRegressions, EveryKeptInputRunsItsTargetWithoutAReport) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    int replayed = 0;
    for (const auto& [name, run] : tolvex::fuzz::targets()) {
        const fs::path dir = fs::path(TOLVEX_SOURCE_DIR) / "fuzz" / "regressions" / name;
        if (!fs::is_directory(dir)) {
            continue;
        }
        for (const auto& entry : fs::directory_iterator(dir)) {
            SCOPED_TRACE(entry.path().string());
            const std::string data = readAll(entry.path());
            EXPECT_EXIT(
                {
                    run(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
                    std::_Exit(0);
                },
                ::testing::ExitedWithCode(0), "");
            ++replayed;
        }
    }
    RecordProperty("replayed", replayed);
    if (replayed == 0) {
        GTEST_SKIP() << "no fuzz finding is kept in fuzz/regressions/";
    }
}

TEST(FuzzRegressions, CapturedMachineFilesGoThroughEveryParser) {
    const fs::path fixtures = TOLVEX_FIXTURES_DIR;
    if (!fs::is_directory(fixtures)) {
        GTEST_SKIP() << "no captured machines at " << fixtures;
    }
    const std::map<std::string, tolvex::fuzz::Target> byFileName = {
        {"cpuinfo", tolvex::fuzz::cpuInfo},
        {"mounts", tolvex::fuzz::mountTable},
        {"edid", tolvex::fuzz::edidTimings}};
    int replayed = 0;
    for (const auto& entry : fs::recursive_directory_iterator(fixtures)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        const std::string name = entry.path().filename().string();
        const std::string ext = entry.path().extension().string();
        SCOPED_TRACE(entry.path().string());
        if (ext == ".dmi" || ext == ".bin" || ext == ".dat") {
            replay(tolvex::fuzz::smbiosTable, entry.path());
            ++replayed;
        } else if (ext == ".udev-data") {
            replay(tolvex::fuzz::udevMemory, entry.path());
            ++replayed;
        } else if (name.find("os-release") != std::string::npos) {
            replay(tolvex::fuzz::osRelease, entry.path());
            ++replayed;
        } else if (const auto it = byFileName.find(name); it != byFileName.end()) {
            replay(it->second, entry.path());
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 30);
}

// The real monitors' EDIDs of the identity tests, whole and cut at every
// length, through the identity decoder's target (which traps on a broken
// invariant).
TEST(FuzzRegressions, RealEdidsAtEveryLengthGoThroughTheIdentityTarget) {
    int replayed = 0;
    for (const auto& entry :
         fs::directory_iterator(fs::path(TOLVEX_SOURCE_DIR) / "tests" / "data" / "edid")) {
        if (entry.path().extension() != ".hex") {
            continue;
        }
        std::ifstream in(entry.path());
        std::string bytes;
        std::string hex;
        while (in >> hex) {
            bytes.push_back(static_cast<char>(std::stoi(hex, nullptr, 16)));
        }
        for (std::size_t size = 0; size <= bytes.size(); ++size) {
            tolvex::fuzz::edidIdentity(reinterpret_cast<const std::uint8_t*>(bytes.data()), size);
        }
        ++replayed;
    }
    EXPECT_GE(replayed, 8);
}

}  // namespace
