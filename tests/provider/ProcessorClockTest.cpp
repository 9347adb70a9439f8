// Processor speeds where the firmware table cannot be read: cpufreq's
// maximum and current frequency per package, cpuinfo's speed without
// cpufreq, and the table's maximum where it is readable.

#include "ProviderFixtures.h"
#include "TreeBuilder.h"
#include "wmi/WmiNames.h"

namespace tolvex::testing {
namespace {

struct PackageSpeeds {
    std::optional<int> maxMhz;
    std::optional<int> currentMhz;
};

struct ClockCase {
    const char* tree;  // a tarball under sysroots/, or a folder under extracted/
    std::vector<PackageSpeeds> packages;
};

// Values read off each capture's files (kHz, rounded to MHz): the highest
// cpufreq/cpuinfo_max_freq among a package's CPUs, the scaling_cur_freq of
// its first CPU, else the "cpu MHz" of its first cpuinfo record.
const ClockCase kCases[] = {
    // Hybrid i7-1370P: P-cores reach 5.0 and 5.2 GHz, E-cores 3.9 GHz; CPU 0
    // alone would say 5.0.
    {"hwloc/20em64t-hybrid-1p6c2t+2ca4co1t.tar.bz2", {{5200, 1171}}},
    {"hwloc/32em64t-2n8c+dax+nvme+mic+dimms.tar.bz2", {{2701, 2701}, {2701, 2701}}},
    // Phone SoC whose kernel numbers each cluster as a package: Cortex-A510
    // 2016 MHz, A715/A710 2803 MHz, X3 3187 MHz, one frequency policy each.
    {"util-linux-lscpu/arm-A510-A710-A715-X3.tar.gz", {{2016, 1018}, {2803, 1056}, {3187, 864}}},
    {"util-linux-lscpu/vmware_fpe.tar.gz", {{3200, 1612}, {3200, 1400}}},
    {"util-linux-lscpu/x86_64-64cpu.tar.gz",
     {{1996, 1064}, {1996, 1064}, {1996, 1064}, {1996, 1064}}},
    {"util-linux-lscpu/x86_64-64cpu-linux6.2.tar.gz", {{4700, 1929}}},
    {"util-linux-lscpu/x86_64-dell_e4310.tar.gz", {{2667, 1199}}},
    {"util-linux-lscpu/armv7.tar.gz", {{1700, 200}}},
    {"extracted/hwloc/nvidia-dgx-gb10", {{2808, 2808}}},
    // Only CPU 0's cpufreq was captured here: the second package has no
    // maximum and takes cpuinfo's current speed.
    {"extracted/hwloc/32em64t-2n8c+dax+nvme+mic+dimms", {{2701, 2701}, {std::nullopt, 2701}}},
    // No cpufreq at all.
    {"extracted/hwloc/offline-cpu0-node0", {{std::nullopt, 2500}, {std::nullopt, 2500}}},
    {"extracted/util-linux-lscpu/ppc64-POWER7", {{std::nullopt, 3000}}},
};

std::string treeRoot(const std::string& tree) {
    if (tree.rfind("extracted/", 0) == 0) {
        const auto path = fixturesDir() / tree;
        return std::filesystem::is_directory(path) ? path.string() : std::string();
    }
    return capturedTree(tree);
}

ManagementValue optionalInteger(std::optional<int> v) {
    return v ? ManagementValue::integer(*v) : ManagementValue::null();
}

// Each case shows by its tree (in test names and failures), not its bytes.
void PrintTo(const ClockCase& c, std::ostream* os) {
    *os << c.tree;
}

class ProcessorClocks : public ::testing::TestWithParam<ClockCase> {};

TEST_P(ProcessorClocks, FromCpufreqPerPackage) {
    const ClockCase& c = GetParam();
    const std::string root = treeRoot(c.tree);
    TOLVEX_REQUIRE_CAPTURE(root);
    const auto processors = enumerateTree(root, linuxprov::enumerateProcessors);
    ASSERT_EQ(processors.size(), c.packages.size());
    for (std::size_t k = 0; k < processors.size(); ++k) {
        SCOPED_TRACE("CPU" + std::to_string(k));
        EXPECT_EQ(processors[k]->property(wmi::prop::MaxClockSpeed),
                  optionalInteger(c.packages[k].maxMhz));
        EXPECT_EQ(processors[k]->property(wmi::prop::CurrentClockSpeed),
                  optionalInteger(c.packages[k].currentMhz));
    }
}

INSTANTIATE_TEST_SUITE_P(Captured, ProcessorClocks, ::testing::ValuesIn(kCases),
                         [](const auto& paramInfo) {
                             std::string name = paramInfo.param.tree;
                             if (name.rfind("extracted/", 0) == 0) {
                                 name = "extracted_" + name.substr(name.rfind('/') + 1);
                             } else {
                                 name = name.substr(name.find('/') + 1);
                                 name = name.substr(0, name.find(".tar"));
                             }
                             for (char& ch : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) {
                                     ch = '_';
                                 }
                             }
                             return name;
                         });

TEST(ProcessorClocksWithTable, TheFirmwaresMaximumWinsWhereTheTableIsReadable) {
    TOLVEX_REQUIRE_FIXTURES();
    // The Beelink's table says Max Speed 3400 MHz, Current Speed 2871 MHz.
    TempRoot root;
    placeSmbios(root, loadSmbiosImage(fixturesDir() / "smbios/go-smbios/Beelink-EQ12.dmi"));
    root.write("/proc/cpuinfo",
               "processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\nmodel\t\t: 190\n"
               "model name\t: Intel(R) N100\nstepping\t: 0\ncpu MHz\t\t: 700.000\n"
               "physical id\t: 0\n\n");
    root.write("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq", "3300000\n");
    root.write("/sys/devices/system/cpu/cpu0/cpufreq/scaling_cur_freq", "1234567\n");
    const auto processors = enumerateTree(root.path().string(), linuxprov::enumerateProcessors);
    ASSERT_EQ(processors.size(), 1u);
    EXPECT_EQ(processors[0]->property(wmi::prop::MaxClockSpeed), ManagementValue::integer(3400));
    // The current speed is the kernel's, measured now.
    EXPECT_EQ(processors[0]->property(wmi::prop::CurrentClockSpeed),
              ManagementValue::integer(1235));
}

TEST(ProcessorClocksWithTable, UnreadableOrOddFrequencyFilesAreNoValue) {
    TempRoot root;
    root.write("/proc/cpuinfo",
               "processor\t: 0\nmodel name\t: Test CPU\ncpu MHz\t\t: 1500.4\nphysical id\t: 0\n\n"
               "processor\t: 1\nmodel name\t: Test CPU\ncpu MHz\t\t: 1600.0\nphysical id\t: 0\n\n");
    root.write("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq", "fast\n");
    root.write("/sys/devices/system/cpu/cpu0/cpufreq/scaling_cur_freq", "0\n");
    root.write("/sys/devices/system/cpu/cpu1/cpufreq/cpuinfo_max_freq", "\n");
    const auto processors = enumerateTree(root.path().string(), linuxprov::enumerateProcessors);
    ASSERT_EQ(processors.size(), 1u);
    EXPECT_TRUE(processors[0]->property(wmi::prop::MaxClockSpeed).isNull());
    EXPECT_EQ(processors[0]->property(wmi::prop::CurrentClockSpeed),
              ManagementValue::integer(1500));
}

}  // namespace
}  // namespace tolvex::testing
