// The provider over captured /proc and /sys trees: processor packages of
// every architecture, and the fallbacks when the firmware table cannot be
// read.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "ProviderFixtures.h"
#include "wmi/WmiNames.h"

namespace tolvex::testing {
namespace {

struct TreeCase {
    const char* tree;
    std::size_t sockets;  // from the capture's hardware description
    const char* name;     // what the processor is called there
    std::optional<int> architecture;
    std::optional<int> dataWidth;
    const char* manufacturer;  // nullptr: none known
    std::optional<int> logicalPerSocket;
};

const TreeCase kTrees[] = {
    {"hwloc/20em64t-hybrid-1p6c2t+2ca4co1t", 1, "13th Gen Intel(R) Core(TM) i7-1370P", 9, 64,
     "GenuineIntel", 20},
    {"hwloc/32em64t-2n8c+dax+nvme+mic+dimms", 2, "Intel(R) Xeon(R) CPU E5-2680 0 @ 2.70GHz", 9, 64,
     "GenuineIntel", 8},
    {"hwloc/32intel64-2p8co2t+8ve", 2, "Intel(R) Xeon(R) Silver 4108 CPU @ 1.80GHz", 9, 64,
     "GenuineIntel", 16},
    {"hwloc/offline-cpu0-node0", 2, "Intel(R) Xeon(R) CPU E5-2680 v3 @ 2.50GHz", 9, 64,
     "GenuineIntel", 12},
    {"hwloc/nvidia-dgx-gb10", 1, "Cortex-A725 + Cortex-X925", 12, 64, "ARM Limited", 20},
    {"hwloc/nvidiagpunumanodes", 1, "POWER9, altivec supported", 3, std::nullopt, nullptr, 176},
    {"util-linux-lscpu/x86_64-dell_e4310", 1, "Intel(R) Core(TM) i5 CPU       M 560  @ 2.67GHz", 9,
     64, "GenuineIntel", 4},
    {"util-linux-lscpu/x86_64-64cpu-linux6.2", 1, "11th Gen Intel(R) Core(TM) i7-1165G7 @ 2.80GHz",
     9, 64, "GenuineIntel", 8},
    {"util-linux-lscpu/x86_64-64cpu", 4, "Intel(R) Xeon(R) CPU           X7550  @ 2.00GHz", 9, 64,
     "GenuineIntel", 16},
    {"util-linux-lscpu/vmware_fpe", 2, "AMD Opteron(tm) Processor 6328", 9, 64, "AuthenticAMD", 8},
    {"util-linux-lscpu/arm-A510-A710-A715-X3", 1,
     "Cortex-A510 + Cortex-A715 + Cortex-A710 + Cortex-X3", 12, 64, "ARM Limited", 8},
    {"util-linux-lscpu/armv7", 1, "ARMv7 Processor rev 4 (v7l)", 5, 32, "ARM Limited", 2},
    {"util-linux-lscpu/ppc64-POWER7", 1, "POWER7 (architected), altivec supported", 3, std::nullopt,
     nullptr, 16},
    {"util-linux-lscpu/loongarch-loongson_3a5000_hv", 1, "Loongson-3A5000-HV", std::nullopt, 64,
     nullptr, 4},
    {"util-linux-lscpu/sparc64", 1, "TI UltraSparc II  (BlackBird)", std::nullopt, 64, nullptr, 6},
};

ManagementValue optionalInteger(std::optional<int> v) {
    return v ? ManagementValue::integer(*v) : ManagementValue::null();
}

// Each case shows by its tree (in test names and failures), not its bytes.
void PrintTo(const TreeCase& c, std::ostream* os) {
    *os << c.tree;
}

class CapturedTree : public ::testing::TestWithParam<TreeCase> {};

TEST_P(CapturedTree, OneProcessorPerPackageWithHonestValues) {
    TOLVEX_REQUIRE_FIXTURES();
    const TreeCase& c = GetParam();
    const auto service =
        linuxprov::makeLinuxService((fixturesDir() / "extracted" / c.tree).string());
    const auto processors = instances(*service, wmi::cls::Processor);
    ASSERT_EQ(processors.size(), c.sockets);
    for (std::size_t k = 0; k < processors.size(); ++k) {
        SCOPED_TRACE("CPU" + std::to_string(k));
        const auto& cpu = *processors[k];
        EXPECT_EQ(cpu.path(), "\\\\localhost\\root\\cimv2:Win32_Processor.DeviceID=\"CPU" +
                                  std::to_string(k) + "\"");
        EXPECT_EQ(cpu.property(wmi::prop::Name), ManagementValue::text(c.name));
        EXPECT_EQ(cpu.property(wmi::prop::architecture), optionalInteger(c.architecture));
        EXPECT_EQ(cpu.property(wmi::prop::DataWidth), optionalInteger(c.dataWidth));
        EXPECT_EQ(cpu.property(wmi::prop::Manufacturer),
                  c.manufacturer ? ManagementValue::text(c.manufacturer) : ManagementValue());
        EXPECT_EQ(cpu.property("NumberOfLogicalProcessors"), optionalInteger(c.logicalPerSocket));
        EXPECT_EQ(cpu.property(wmi::prop::processorType), ManagementValue::integer(3));
        // Without a firmware table nothing of it is made up.
        EXPECT_TRUE(cpu.property(wmi::prop::CurrentVoltage).isNull());
        EXPECT_TRUE(cpu.property(wmi::prop::ExtClock).isNull());
        EXPECT_TRUE(cpu.property(wmi::prop::family).isNull());
        // The path finds the same instance again.
        const auto set = service->instancesOf(wmi::cls::Processor, kReturnImmediately);
        EXPECT_EQ(set->item(cpu.path(), 0)->property(wmi::prop::DeviceID),
                  cpu.property(wmi::prop::DeviceID));
    }
}

INSTANTIATE_TEST_SUITE_P(Machines, CapturedTree, ::testing::ValuesIn(kTrees),
                         [](const auto& paramInfo) {
                             std::string name = paramInfo.param.tree;
                             name = name.substr(name.find('/') + 1);
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) {
                                     c = '_';
                                 }
                             }
                             return name;
                         });

TEST(CapturedTreeX86, ProcessorIdIsRebuiltFromTheSignatureAndFlags) {
    TOLVEX_REQUIRE_FIXTURES();
    // Xeon E5-2680 v3: family 6, model 63, stepping 2; the same processor's
    // firmware table (the Dell R630 capture) shows ID F2 06 03 00 FF FB EB BF.
    const auto service = linuxprov::makeLinuxService(
        (fixturesDir() / "extracted/hwloc/offline-cpu0-node0").string());
    const auto processors = instances(*service, wmi::cls::Processor);
    ASSERT_FALSE(processors.empty());
    EXPECT_EQ(processors[0]->property(wmi::prop::ProcessorId),
              ManagementValue::text("BFEBFBFF000306F2"));
    EXPECT_EQ(processors[0]->property(wmi::prop::Revision), ManagementValue::integer(0x3F02));
    EXPECT_EQ(processors[0]->property(wmi::prop::Level), ManagementValue::integer(6));
}

TEST(CapturedTreeFallbacks, BoardFromDmiIdWhenNoTableIsReadable) {
    TOLVEX_REQUIRE_FIXTURES();
    const auto root = fixturesDir() / "extracted/hwloc/32intel64-2p8co2t+8ve";
    const auto service = linuxprov::makeLinuxService(root.string());
    const auto boards = instances(*service, wmi::cls::BaseBoard);
    ASSERT_EQ(boards.size(), 1u);
    const auto idText = [&](const char* name) {
        std::string text = readBytes(root / "sys/class/dmi/id" / name);
        while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
            text.pop_back();
        }
        return text.empty() ? ManagementValue() : ManagementValue::text(text);
    };
    EXPECT_EQ(boards[0]->property(wmi::prop::Manufacturer), idText("board_vendor"));
    EXPECT_EQ(boards[0]->property(wmi::prop::Product), idText("board_name"));
    EXPECT_EQ(boards[0]->property(wmi::prop::Version), idText("board_version"));
    EXPECT_FALSE(boards[0]->property(wmi::prop::Product).isNull());
}

TEST(CapturedTreeFallbacks, MemoryFromTheKernelsPerStructureEntries) {
    TOLVEX_REQUIRE_FIXTURES();
    // The Dell DCS8000Z capture holds only /sys/firmware/dmi/entries/17-*:
    // 24 slots of which 8 hold 4 GiB DDR3 modules (its 32 GB).
    const auto service = linuxprov::makeLinuxService(
        (fixturesDir() / "extracted/hwloc/32em64t-2n8c+dax+nvme+mic+dimms").string());
    const auto modules = instances(*service, wmi::cls::PhysicalMemory);
    ASSERT_EQ(modules.size(), 8u);
    for (const auto& module : modules) {
        EXPECT_EQ(module->property(wmi::prop::Capacity), ManagementValue::text("4294967296"));
        EXPECT_EQ(module->property(wmi::prop::MemoryType), ManagementValue::integer(24));
    }
}

TEST(CapturedTreeFallbacks, NoFirmwareDataGivesNullsNotFailures) {
    TOLVEX_REQUIRE_FIXTURES();
    // The POWER9 capture has neither a table nor /sys/class/dmi.
    const auto service = linuxprov::makeLinuxService(
        (fixturesDir() / "extracted/hwloc/nvidiagpunumanodes").string());
    EXPECT_TRUE(instances(*service, wmi::cls::PhysicalMemory).empty());
    const auto boards = instances(*service, wmi::cls::BaseBoard);
    ASSERT_EQ(boards.size(), 1u);
    for (const char* name :
         {wmi::prop::Product, wmi::prop::Manufacturer, wmi::prop::Name, wmi::prop::Model,
          wmi::prop::PartNumber, wmi::prop::SerialNumber, wmi::prop::Version, wmi::prop::Height,
          wmi::prop::Width, wmi::prop::Depth, wmi::prop::Weight, wmi::prop::SlotLayout}) {
        EXPECT_NO_THROW(boards[0]->property(name)) << name;
    }
    EXPECT_TRUE(boards[0]->property(wmi::prop::Product).isNull());
    const auto devices = instances(*service, wmi::cls::MotherboardDevice);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_NO_THROW(devices[0]->property(wmi::prop::PrimaryBusType));
    EXPECT_NO_THROW(devices[0]->property(wmi::prop::SecondaryBusType));
}

TEST(CapturedTreeFallbacks, AnEmptyRootAnswersEveryClassWithoutFailing) {
    TempRoot root;
    const auto service = linuxprov::makeLinuxService(root.path().string());
    EXPECT_TRUE(instances(*service, wmi::cls::Processor).empty());
    EXPECT_TRUE(instances(*service, wmi::cls::PhysicalMemory).empty());
    EXPECT_EQ(instances(*service, wmi::cls::BaseBoard).size(), 1u);
    const auto devices = instances(*service, wmi::cls::MotherboardDevice);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_TRUE(devices[0]->property(wmi::prop::PrimaryBusType).isNull());
}

TEST(CapturedTreeFallbacks, EdacModulesWhenTheFirmwareTableIsUnreadable) {
    TempRoot root;
    const std::string dimm = "/sys/devices/system/edac/mc/mc0/dimm0/";
    root.write(dimm + "size", "16384\n");
    root.write(dimm + "dimm_label", "CPU_SrcID#0_Ha#0_Chan#0_DIMM#0\n");
    root.write(dimm + "dimm_location", "channel 0 slot 0 \n");
    root.write(dimm + "dimm_mem_type", "Registered-DDR4\n");
    root.write("/sys/devices/system/edac/mc/mc0/dimm1/size", "0\n");  // an empty slot
    const auto service = linuxprov::makeLinuxService(root.path().string());
    const auto modules = instances(*service, wmi::cls::PhysicalMemory);
    ASSERT_EQ(modules.size(), 1u);
    EXPECT_EQ(modules[0]->property(wmi::prop::Capacity), ManagementValue::text("17179869184"));
    EXPECT_EQ(modules[0]->property(wmi::prop::DeviceLocator),
              ManagementValue::text("CPU_SrcID#0_Ha#0_Chan#0_DIMM#0"));
    EXPECT_EQ(modules[0]->property(wmi::prop::BankLabel),
              ManagementValue::text("channel 0 slot 0"));
    EXPECT_EQ(modules[0]->property(wmi::prop::MemoryType), ManagementValue::integer(26));
}

TEST(CapturedTreeFallbacks, BusTypesFromThePciClasses) {
    const std::string dev = "/sys/bus/pci/devices/";
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> files;
        bool displayFirst;  // the same service lists its display controllers first
        const char* primary;
        const char* secondary;
    };
    const Case cases[] = {
        {"classes without IDs",
         {{dev + "0000:00:00.0/class", "0x060000\n"}, {dev + "0000:00:1f.0/class", "0x060100\n"}},
         false,
         "PCI",
         "ISA"},
        {"a bridge with its IDs, after the display controllers",
         {{dev + "0000:00:1f.0/class", "0x060100\n"},
          {dev + "0000:00:1f.0/vendor", "0x8086\n"},
          {dev + "0000:00:1f.0/device", "0x7000\n"}},
         true,
         "PCI",
         "ISA"},
        {"one device with a damaged class",
         {{dev + "0000:00:00.0/class", "none\n"}},
         false,
         "PCI",
         nullptr},
        {"only the kernel's list",
         {{"/proc/bus/pci/devices", "0000\t80861237\n"}},
         false,
         "PCI",
         nullptr},
        {"no PCI bus", {}, false, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempRoot root;
        for (const auto& [path, content] : c.files) {
            root.write(path, content);
        }
        const auto service = linuxprov::makeLinuxService(root.path().string());
        if (c.displayFirst) {
            EXPECT_TRUE(instances(*service, wmi::cls::VideoController).empty());
        }
        const auto devices = instances(*service, wmi::cls::MotherboardDevice);
        ASSERT_EQ(devices.size(), 1u);
        const auto expect = [](const char* text) {
            return text ? ManagementValue::text(text) : ManagementValue::null();
        };
        EXPECT_EQ(devices[0]->property(wmi::prop::PrimaryBusType), expect(c.primary));
        EXPECT_EQ(devices[0]->property(wmi::prop::SecondaryBusType), expect(c.secondary));
    }
}

// The query tool over this machine, run as an ordinary user: everything it
// answers comes from what such a user can read.
TEST(QueryToolLive, AnswersAsAnUnprivilegedUser) {
#ifndef TOLVEX_QUERY_PATH
    GTEST_SKIP() << "tolvex-query is not part of this build";
#else
    if (::geteuid() != 0) {
        GTEST_SKIP() << "switching to an unprivileged user needs root";
    }
    if (::access("/usr/bin/setpriv", X_OK) != 0) {
        GTEST_SKIP() << "setpriv is not installed";
    }
    if (::access(TOLVEX_QUERY_PATH, X_OK) != 0) {
        GTEST_SKIP() << "tolvex-query has not been built";
    }
    // The binary must be reachable by user 65534 as well.
    const std::string probe = std::string(
                                  "/usr/bin/setpriv --reuid=65534 --regid=65534 "
                                  "--clear-groups test -x '") +
                              TOLVEX_QUERY_PATH + "'";
    if (std::system(probe.c_str()) != 0) {
        GTEST_SKIP() << "tolvex-query is not reachable by an unprivileged user";
    }
    const std::string command = std::string(
                                    "/usr/bin/setpriv --reuid=65534 --regid=65534 "
                                    "--clear-groups '") +
                                TOLVEX_QUERY_PATH +
                                "' --json Win32_Processor Win32_PhysicalMemory Win32_BaseBoard "
                                "Win32_MotherboardDevice 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) {
        output.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status)) << output;
    EXPECT_EQ(WEXITSTATUS(status), 0) << output;
    EXPECT_NE(output.find("Win32_Processor.DeviceID=\\\"CPU0\\\""), std::string::npos) << output;
    EXPECT_NE(output.find("\"Win32_BaseBoard\": ["), std::string::npos) << output;
    EXPECT_NE(output.find("Win32_MotherboardDevice.DeviceID"), std::string::npos) << output;
#endif
}

TEST(QueryToolLive, AnUnknownClassEndsWithStatusTwo) {
#ifndef TOLVEX_QUERY_PATH
    GTEST_SKIP() << "tolvex-query is not part of this build";
#else
    if (::access(TOLVEX_QUERY_PATH, X_OK) != 0) {
        GTEST_SKIP() << "tolvex-query has not been built";
    }
    const std::string command =
        std::string("'") + TOLVEX_QUERY_PATH + "' Win32_NoSuchClass >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
#endif
}

}  // namespace
}  // namespace tolvex::testing
