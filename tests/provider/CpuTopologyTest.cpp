// /proc/cpuinfo records and the sysfs cache and topology files.

#include "ProviderFixtures.h"
#include "wmi/linux/CpuInfo.h"

namespace tolvex::testing {
namespace {

using namespace linuxprov::cpu;

TEST(CpuInfoText, RecordsAndMachineWideLines) {
    const auto info = parseCpuInfo(
        "Processor\t: ARMv7 Processor rev 4 (v7l)\n"
        "processor\t: 0\nBogoMIPS\t: 1.0\n\n"
        "processor\t: 1\nBogoMIPS\t: 1.0\n\n"
        "CPU implementer\t: 0x41\nCPU architecture: 7\n"
        "no colon on this line\n\xFF\xFE : binary\n");
    ASSERT_EQ(info.cpus.size(), 2u);
    EXPECT_EQ(info.cpus[1].number, 1);
    EXPECT_EQ(info.field(info.cpus[0], "model name"), "ARMv7 Processor rev 4 (v7l)");
    EXPECT_EQ(info.field(info.cpus[1], "cpu architecture"), "7");
    EXPECT_EQ(info.field(info.cpus[1], "missing"), std::nullopt);
}

TEST(CpuInfoText, ListsAndSizes) {
    EXPECT_EQ(parseCpuList("0-3,8,10-11\n"), (std::set<int>{0, 1, 2, 3, 8, 10, 11}));
    EXPECT_TRUE(parseCpuList("3-1").empty());
    EXPECT_TRUE(parseCpuList("a-b").empty());
    EXPECT_TRUE(parseCpuList("0-99999999").empty());
    EXPECT_EQ(parseCacheSizeKb("2048K\n"), 2048u);
    EXPECT_EQ(parseCacheSizeKb("1M"), 1024u);
    EXPECT_EQ(parseCacheSizeKb("lots"), std::nullopt);
    EXPECT_EQ(parseLeadingNumber("3000.000000MHz"), 3000u);
    EXPECT_EQ(parseLeadingNumber("2445.6"), 2446u);
    EXPECT_EQ(parseLeadingNumber("-5"), std::nullopt);
}

// Two packages of two cores, each core with its own L2 shared by its two
// threads, each package with one L3.
void writeCaches(const TempRoot& root, int cpu, int core, int package) {
    const std::string base = "/sys/devices/system/cpu/cpu" + std::to_string(cpu) + "/";
    const int firstOfCore = package * 4 + core * 2;
    const std::string coreList =
        std::to_string(firstOfCore) + "-" + std::to_string(firstOfCore + 1);
    const std::string packageList =
        std::to_string(package * 4) + "-" + std::to_string(package * 4 + 3);
    root.write(base + "cache/index0/level", "1\n");
    root.write(base + "cache/index0/type", "Data\n");
    root.write(base + "cache/index0/size", "32K\n");
    root.write(base + "cache/index0/shared_cpu_list", coreList);
    root.write(base + "cache/index2/level", "2\n");
    root.write(base + "cache/index2/type", "Unified\n");
    root.write(base + "cache/index2/size", "256K\n");
    root.write(base + "cache/index2/shared_cpu_list", coreList);
    root.write(base + "cache/index3/level", "3\n");
    root.write(base + "cache/index3/type", "Unified\n");
    root.write(base + "cache/index3/size", "8192K\n");
    root.write(base + "cache/index3/shared_cpu_list", packageList);
    root.write(base + "topology/physical_package_id", std::to_string(package));
    root.write(base + "topology/core_id", std::to_string(core));
}

TEST(CpuTopology, SharedCachesAreCountedOnce) {
    TempRoot root;
    for (int cpu = 0; cpu < 8; ++cpu) {
        writeCaches(root, cpu, (cpu / 2) % 2, cpu / 4);
    }
    const linuxprov::FileTree files(root.path().string());
    const auto packages = groupPackages(files, CpuInfo{});
    ASSERT_EQ(packages.size(), 2u);
    EXPECT_EQ(packages[1].cpus, (std::vector<int>{4, 5, 6, 7}));
    EXPECT_EQ(packages[1].cores, 2);
    EXPECT_EQ(cacheKbForCpus(files, packages[0].cpus, 2), 512u);
    EXPECT_EQ(cacheKbForCpus(files, packages[0].cpus, 3), 8192u);
    EXPECT_EQ(cacheKbForCpus(files, packages[0].cpus, 4), std::nullopt);
    // A CPU without cache files leaves the total unknown, not short.
    EXPECT_EQ(cacheKbForCpus(files, {0, 1, 2, 3, 8}, 2), std::nullopt);
}

}  // namespace
}  // namespace tolvex::testing
