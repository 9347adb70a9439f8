#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "wmi/Management.h"
#include "wmi/WmiNames.h"
#include "wmi/linux/LinuxService.h"
#include "wmi/linux/Smbios.h"

// The benchmarks' machine generator (bench/make-large-tree) must write trees
// the provider reads as the machine they describe; these tests generate into
// a temporary directory and read the result back.
namespace tolvex::linuxprov {
namespace {

namespace fs = std::filesystem;

class LargeTreeTest : public ::testing::Test {
  protected:
    void TearDown() override {
        if (!m_root.empty()) {
            fs::remove_all(m_root);
        }
    }

    // Generates a tree; false when the generator fails (python3 is installed
    // by scripts/install-deps, so a failure is the generator's own).
    bool generate(const std::string& arguments) {
        m_root =
            (fs::temp_directory_path() / ("tolvex-large-" + std::to_string(::getpid()))).string();
        const std::string command = "python3 \"" TOLVEX_SOURCE_DIR "/bench/make-large-tree\" \"" +
                                    m_root + "\" --quiet " + arguments;
        return std::system(command.c_str()) == 0;
    }

    std::vector<ObjectPtr> instances(const char* className) {
        const auto set = makeLinuxService(m_root)->instancesOf(className, kReturnImmediately);
        std::vector<ObjectPtr> out;
        auto walk = set->enumerate();
        while (auto object = walk->next()) {
            out.push_back(object);
        }
        return out;
    }

    std::string m_root;
};

TEST_F(LargeTreeTest, SmbiosTableHoldsEightSocketsAndNinetySixModules) {
    ASSERT_TRUE(generate("--parts smbios")) << "bench/make-large-tree failed; its output is above";
    const smbios::Table table = smbios::readTable(FileTree(m_root));
    ASSERT_FALSE(table.broken);
    ASSERT_TRUE(table.version);
    EXPECT_TRUE(table.version->atLeast(3, 3));
    EXPECT_EQ(table.ofType(4).size(), 8u);
    EXPECT_EQ(table.ofType(17).size(), 96u);

    // Without /proc/cpuinfo the processors come from the sockets; their
    // caches are the type 7 structures the sockets point to.
    const auto processors = instances(wmi::cls::Processor);
    ASSERT_EQ(processors.size(), 8u);
    for (const auto& cpu : processors) {
        EXPECT_EQ(cpu->property("NumberOfCores").asInteger(), 32);
        EXPECT_EQ(cpu->property("ThreadCount").asInteger(), 64);
        EXPECT_EQ(cpu->property(wmi::prop::L2CacheSize).asInteger(), 32 * 1024);  // 64K units
        EXPECT_EQ(cpu->property("L3CacheSize").asInteger(), 39424);
    }
    EXPECT_EQ(processors[7]->property("SocketDesignation").asText(), "CPU7");

    // Modules alternate between 16 GiB (the size word) and 64 GiB (the
    // extended size).
    const auto modules = instances(wmi::cls::PhysicalMemory);
    ASSERT_EQ(modules.size(), 96u);
    EXPECT_EQ(modules[0]->property(wmi::prop::Capacity).asText(), std::to_string(16ull << 30));
    EXPECT_EQ(modules[1]->property(wmi::prop::Capacity).asText(), std::to_string(64ull << 30));
    EXPECT_EQ(modules[95]->property(wmi::prop::BankLabel).asText(), "NODE 7 CHANNEL F");
    EXPECT_EQ(modules[0]->property(wmi::prop::Speed).asInteger(), 3200);
}

TEST_F(LargeTreeTest, SmallScaleTreeAnswersEveryClass) {
    ASSERT_TRUE(generate("--scale 0.05")) << "bench/make-large-tree failed; its output is above";
    // 0.05 of the machine: one socket of 13 cores, 5 modules, 13
    // interfaces, 3 storage controllers, 50 mounts.
    const auto processors = instances(wmi::cls::Processor);
    ASSERT_EQ(processors.size(), 1u);
    EXPECT_EQ(processors[0]->property("NumberOfLogicalProcessors").asInteger(), 26);
    EXPECT_EQ(processors[0]->property("NumberOfCores").asInteger(), 13);
    EXPECT_EQ(instances(wmi::cls::PhysicalMemory).size(), 5u);
    EXPECT_EQ(instances(wmi::cls::NetworkAdapter).size(), 13u);
    EXPECT_EQ(instances(wmi::cls::SCSIController).size(), 3u);
    EXPECT_EQ(instances(wmi::cls::VideoController).size(), 1u);

    // Every drive has its space from the sidecar and every block-device
    // drive its label from the udev data.
    const auto drives = instances(wmi::cls::LogicalDisk);
    ASSERT_GT(drives.size(), 10u);
    for (const auto& drive : drives) {
        const std::string name = drive->property(wmi::prop::DeviceID).asText();
        EXPECT_FALSE(drive->property(wmi::prop::Size).isNull()) << name;
        if (name.rfind("/srv/data", 0) == 0) {
            EXPECT_FALSE(drive->property(wmi::prop::VolumeName).isNull()) << name;
        }
    }
    const auto os = instances(wmi::cls::OperatingSystem);
    ASSERT_EQ(os.size(), 1u);
    EXPECT_EQ(os[0]->property(wmi::prop::Caption).asText(), "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(os[0]->property(wmi::prop::NumberOfUsers).asInteger(), 40);
}

}  // namespace
}  // namespace tolvex::linuxprov
