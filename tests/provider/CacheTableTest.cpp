// The processor caches read once for all packages: each cache index
// directory once per group of CPUs sharing it, the totals as before.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/provider/TreeBuilder.h"
#include "wmi/linux/CpuInfo.h"

namespace tolvex::testing {
namespace {

using linuxprov::cpu::CacheTable;

struct CacheFiles {
    const char* index;
    const char* level;  // nullptr: the file is missing
    const char* type;
    const char* size;
    const char* sharers;
};

void writeCache(TreeBuilder& tree, int cpu, const CacheFiles& c) {
    const std::string dir =
        "/sys/devices/system/cpu/cpu" + std::to_string(cpu) + "/cache/" + c.index + "/";
    tree.dir(dir);
    const std::pair<const char*, const char*> files[] = {
        {"level", c.level}, {"type", c.type}, {"size", c.size}, {"shared_cpu_list", c.sharers}};
    for (const auto& [name, content] : files) {
        if (content) {
            tree.file(dir + name, std::string(content) + "\n");
        }
    }
}

// Two packages of two cores with two threads each: per core an L1 data, an
// L1 instruction and an L2 cache, per package an L3.
void writeServer(TreeBuilder& tree) {
    for (int cpu = 0; cpu < 8; ++cpu) {
        const int core = cpu / 2 * 2;
        const int package = cpu / 4 * 4;
        const std::string coreList = std::to_string(core) + "-" + std::to_string(core + 1);
        const std::string packageList = std::to_string(package) + "-" + std::to_string(package + 3);
        writeCache(tree, cpu, {"index0", "1", "Data", "48K", coreList.c_str()});
        writeCache(tree, cpu, {"index1", "1", "Instruction", "32K", coreList.c_str()});
        writeCache(tree, cpu, {"index2", "2", "Unified", "2048K", coreList.c_str()});
        writeCache(tree, cpu, {"index3", "3", "Unified", "30M", packageList.c_str()});
    }
}

TEST(CacheTable, EachSharedCacheIsReadOnceAndCountedOnce) {
    TreeBuilder tree;
    writeServer(tree);
    const linuxprov::FileTree files(tree.root());
    const CacheTable table(files, {0, 1, 2, 3, 4, 5, 6, 7});
    // Four cores with three caches of their own, two packages with one L3.
    EXPECT_EQ(table.directoriesRead(), 4u * 3u + 2u);

    struct Case {
        std::vector<int> cpus;
        int level;
        std::optional<std::uint32_t> kb;
    };
    const Case cases[] = {
        {{0, 1, 2, 3}, 2, 4096u},
        {{4, 5, 6, 7}, 2, 4096u},
        {{0, 1, 2, 3}, 3, 30720u},
        {{0, 1, 2, 3, 4, 5, 6, 7}, 3, 61440u},
        {{2, 3}, 2, 2048u},
        {{0, 1, 2, 3}, 1, 96u},  // instruction caches are left out
        {{0, 1, 2, 3}, 4, std::nullopt},
        {{0, 1, 2, 3, 8}, 2, std::nullopt},  // CPU 8 has no caches
        {{}, 2, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(table.totalKb(c.cpus, c.level), c.kb)
            << "level " << c.level << " of " << c.cpus.size() << " CPUs";
        EXPECT_EQ(linuxprov::cpu::cacheKbForCpus(files, c.cpus, c.level), c.kb);
    }
}

TEST(CacheTable, AnIncompleteCacheLeavesItsSharersToReadTheirOwn) {
    TreeBuilder tree;
    // CPU 0's copy of the shared L2 lacks its size, CPU 1's is whole.
    writeCache(tree, 0, {"index2", "2", "Unified", nullptr, "0-1"});
    writeCache(tree, 1, {"index2", "2", "Unified", "1024K", "0-1"});
    // CPU 2's L2 has no shared list: it covers nobody, not even CPU 2.
    writeCache(tree, 2, {"index2", "2", "Unified", "512K", nullptr});
    writeCache(tree, 3, {"index2", "2", "Unified", "512K", "2-3"});
    const linuxprov::FileTree files(tree.root());
    const CacheTable table(files, {0, 1, 2, 3});
    EXPECT_EQ(table.directoriesRead(), 4u);
    EXPECT_EQ(table.totalKb({0, 1}, 2), 1024u);
    EXPECT_EQ(table.totalKb({0}, 2), std::nullopt);
    EXPECT_EQ(table.totalKb({0, 1, 2, 3}, 2), 1536u);
    EXPECT_EQ(table.totalKb({2}, 2), std::nullopt);
}

TEST(CacheTable, CoresWithOtherCacheLayoutsAreReadThemselves) {
    TreeBuilder tree;
    // A hybrid part: two threads of a big core with their own L2, and a
    // cluster of four small cores sharing one L2 under another index.
    for (const int cpu : {0, 1}) {
        writeCache(tree, cpu, {"index2", "2", "Unified", "1280K", "0-1"});
    }
    for (const int cpu : {2, 3, 4, 5}) {
        writeCache(tree, cpu, {"index1", "2", "Unified", "2048K", "2-5"});
    }
    for (const int cpu : {0, 1, 2, 3, 4, 5}) {
        writeCache(tree, cpu, {"index3", "3", "Unified", "12M", "0-5"});
    }
    const linuxprov::FileTree files(tree.root());
    const CacheTable table(files, {0, 1, 2, 3, 4, 5});
    EXPECT_EQ(table.directoriesRead(), 3u);
    EXPECT_EQ(table.totalKb({0, 1, 2, 3, 4, 5}, 2), 1280u + 2048u);
    EXPECT_EQ(table.totalKb({0, 1, 2, 3, 4, 5}, 3), 12288u);
    EXPECT_EQ(table.totalKb({4}, 2), 2048u);
}

TEST(CpuPackages, ACpuWithoutPackageTakesItFromASiblingList) {
    TreeBuilder tree;
    tree.file("/sys/devices/system/cpu/cpu0/topology/physical_package_id", "1\n")
        .file("/sys/devices/system/cpu/cpu0/topology/package_cpus_list", "0-1\n")
        .file("/sys/devices/system/cpu/cpu1/topology/core_id", "0\n")
        .file("/sys/devices/system/cpu/cpu2/topology/physical_package_id", "0\n")
        .file("/sys/devices/system/cpu/cpu2/topology/package_cpus_list", "2\n");
    const linuxprov::FileTree files(tree.root());
    const auto packages = linuxprov::cpu::groupPackages(files, {});
    ASSERT_EQ(packages.size(), 2u);
    EXPECT_EQ(packages[0].id, 0);
    EXPECT_EQ(packages[0].cpus, (std::vector<int>{2}));
    EXPECT_EQ(packages[1].id, 1);
    EXPECT_EQ(packages[1].cpus, (std::vector<int>{0, 1}));
}

}  // namespace
}  // namespace tolvex::testing
