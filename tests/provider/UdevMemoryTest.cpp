// Memory modules from udev's database for the DMI device: the captured
// decodes of two real machines, the order of the sources, and damaged
// database files.

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "ProviderFixtures.h"
#include "wmi/WmiNames.h"
#include "wmi/linux/UdevMemory.h"

namespace tolvex::testing {
namespace {

namespace fs = std::filesystem;
namespace prop = wmi::prop;
using linuxprov::udev::kDmiDatabase;

ManagementValue text(const char* value) {
    return value ? ManagementValue::text(value) : ManagementValue::null();
}
ManagementValue integer(std::optional<int> value) {
    return value ? ManagementValue::integer(*value) : ManagementValue::null();
}

// One module as the service would show it. The words and numbers are read
// off udev's printed decode of the machine (udev-dmi/*.txt); the codes are the
// class's codes for those words.
struct ExpectedModule {
    const char* capacity;
    const char* deviceLocator;
    const char* bankLabel;
    const char* manufacturer;
    const char* serialNumber;
    const char* partNumber;
    std::optional<int> formFactor;
    std::optional<int> memoryType;
    std::optional<int> smbiosMemoryType;
    std::optional<int> typeDetail;
    std::optional<int> speed;
    std::optional<int> configuredSpeed;
    std::optional<int> dataWidth;
    std::optional<int> totalWidth;
    std::optional<int> rank;
    std::optional<int> configuredVoltage;
};

constexpr int kDimm = 8, kSodimm = 12, kChipOther = 1;
constexpr int kSynchronousUnbuffered = 128 | 16384, kNonVolatile = 4096;

// HP Z600: two arrays; CPU0 DIMM3 and CPU1 DIMM3 are empty (PRESENT=0);
// the last device is the 2 MB Flash chip holding the firmware. "Not
// Specified" is udev's word for a string the table does not hold.
const ExpectedModule kHpZ600[] = {
    {"8589934592", "CPU0 DIMM1", nullptr, "JEDEC ID:80 AD", "BC8A0E80", "HMT41GU7AFR8C-PB", kDimm,
     24, 0x18, kSynchronousUnbuffered, 1600, std::nullopt, 64, 72, 2, std::nullopt},
    {"8589934592", "CPU0 DIMM2", nullptr, "JEDEC ID:80 AD", "86A6934F", "HMT41GU7AFR8C-PB", kDimm,
     24, 0x18, kSynchronousUnbuffered, 1600, std::nullopt, 64, 72, 2, std::nullopt},
    {"8589934592", "CPU1 DIMM1", nullptr, "JEDEC ID:80 AD", "A18A0E80", "HMT41GU7AFR8C-PB", kDimm,
     24, 0x18, kSynchronousUnbuffered, 1600, std::nullopt, 64, 72, 2, std::nullopt},
    {"8589934592", "CPU1 DIMM2", nullptr, "JEDEC ID:80 AD", "7D8A0E80", "HMT41GU7AFR8C-PB", kDimm,
     24, 0x18, kSynchronousUnbuffered, 1600, std::nullopt, 64, 72, 2, std::nullopt},
    {"2097152", "SYSTEM ROM", nullptr, nullptr, nullptr, nullptr, kChipOther, 11, 0x09,
     kNonVolatile, std::nullopt, std::nullopt, 2, 2, std::nullopt, std::nullopt},
};

// ThinkPad X280: two soldered-style SODIMM slots whose firmware gives
// placeholders for maker and serial; they are shown as given, as the
// service shows them. udev prints 1.2 V as "1", which says too little.
const ExpectedModule kThinkPadX280[] = {
    {"4294967296", "ChannelA-DIMM0", "BANK 0", "0000", "00000000", nullptr, kSodimm, 26, 0x1A,
     kSynchronousUnbuffered, 2400, 2400, 64, 64, 1, std::nullopt},
    {"4294967296", "ChannelB-DIMM0", "BANK 2", "0000", "00000000", nullptr, kSodimm, 26, 0x1A,
     kSynchronousUnbuffered, 2400, 2400, 64, 64, 1, std::nullopt},
};

void expectModule(const ManagementObject& module, const ExpectedModule& want, std::size_t index) {
    SCOPED_TRACE(want.deviceLocator);
    EXPECT_EQ(module.property(prop::Tag),
              ManagementValue::text("Physical Memory " + std::to_string(index)));
    EXPECT_EQ(module.path(),
              "\\\\localhost\\root\\cimv2:Win32_PhysicalMemory.Tag=\"Physical "
              "Memory " +
                  std::to_string(index) + "\"");
    EXPECT_EQ(module.property(prop::Capacity), text(want.capacity));
    EXPECT_EQ(module.property(prop::DeviceLocator), text(want.deviceLocator));
    EXPECT_EQ(module.property(prop::BankLabel), text(want.bankLabel));
    EXPECT_EQ(module.property(prop::Manufacturer), text(want.manufacturer));
    EXPECT_EQ(module.property(prop::SerialNumber), text(want.serialNumber));
    EXPECT_EQ(module.property(prop::PartNumber), text(want.partNumber));
    EXPECT_EQ(module.property(prop::FormFactor), integer(want.formFactor));
    EXPECT_EQ(module.property(prop::MemoryType), integer(want.memoryType));
    EXPECT_EQ(module.property("SMBIOSMemoryType"), integer(want.smbiosMemoryType));
    EXPECT_EQ(module.property(prop::TypeDetail), integer(want.typeDetail));
    EXPECT_EQ(module.property(prop::Speed), integer(want.speed));
    EXPECT_EQ(module.property("ConfiguredClockSpeed"), integer(want.configuredSpeed));
    EXPECT_EQ(module.property(prop::DataWidth), integer(want.dataWidth));
    EXPECT_EQ(module.property(prop::TotalWidth), integer(want.totalWidth));
    EXPECT_EQ(module.property("Attributes"), integer(want.rank));
    EXPECT_EQ(module.property("ConfiguredVoltage"), integer(want.configuredVoltage));
    // Nothing udev leaves out is made up.
    for (const char* name : {"MinVoltage", "MaxVoltage", prop::Model, prop::Status, "SKU"}) {
        EXPECT_TRUE(module.property(name).isNull()) << name;
    }
    EXPECT_EQ(module.property(prop::Name), ManagementValue::text("Physical Memory"));
}

struct MachineCase {
    const char* database;
    const ExpectedModule* modules;
    std::size_t count;
};

// Each case shows by its file (in test names and failures), not its bytes.
void PrintTo(const MachineCase& c, std::ostream* os) {
    *os << c.database;
}

class UdevMachine : public ::testing::TestWithParam<MachineCase> {};

TEST_P(UdevMachine, EveryInstalledModuleWithTheValuesUdevGives) {
    TOLVEX_REQUIRE_FIXTURES();
    const MachineCase& c = GetParam();
    TempRoot root;
    root.write(std::string(kDmiDatabase), readBytes(fixturesDir() / "udev-dmi" / c.database));
    const auto service = linuxprov::makeLinuxService(root.path().string());
    const auto modules = instances(*service, wmi::cls::PhysicalMemory);
    ASSERT_EQ(modules.size(), c.count);
    for (std::size_t k = 0; k < c.count; ++k) {
        expectModule(*modules[k], c.modules[k], k);
    }
}

INSTANTIATE_TEST_SUITE_P(Captured, UdevMachine,
                         ::testing::Values(MachineCase{"HP-Z600.udev-data", kHpZ600, 5},
                                           MachineCase{"Lenovo-ThinkPad-X280.udev-data",
                                                       kThinkPadX280, 2}),
                         [](const auto& paramInfo) {
                             std::string name = paramInfo.param.database;
                             name = name.substr(0, name.find('.'));
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// The published decode (KEY=VALUE lines) and the database file hold the same
// pairs: the database's "E:" lines are what the provider reads.
TEST(UdevMemory, TheDatabaseFilesCarryThePublishedDecode) {
    TOLVEX_REQUIRE_FIXTURES();
    for (const char* machine : {"HP-Z600", "Lenovo-ThinkPad-X280"}) {
        const std::string published =
            readBytes(fixturesDir() / "udev-dmi" / (machine + std::string(".txt")));
        std::string fromDatabase;
        std::istringstream in(
            readBytes(fixturesDir() / "udev-dmi" / (machine + std::string(".udev-data"))));
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("E:", 0) == 0) {
                fromDatabase += line.substr(2) + "\n";
            }
        }
        EXPECT_EQ(fromDatabase, published) << machine;
    }
}

void writeEdacModule(const TempRoot& root) {
    root.write("/sys/devices/system/edac/mc/mc0/dimm0/size", "2048\n");
    root.write("/sys/devices/system/edac/mc/mc0/dimm0/dimm_label", "EDAC DIMM\n");
}

TEST(UdevMemory, TheFirmwareTableWinsWhereItIsReadable) {
    TOLVEX_REQUIRE_FIXTURES();
    TempRoot root;
    placeSmbios(root,
                loadSmbiosImage(fixturesDir() / "smbios/u-root/satellite_pro_l70_testdata.bin"));
    root.write(std::string(kDmiDatabase), readBytes(fixturesDir() / "udev-dmi/HP-Z600.udev-data"));
    writeEdacModule(root);
    const auto service = linuxprov::makeLinuxService(root.path().string());
    const auto modules = instances(*service, wmi::cls::PhysicalMemory);
    // The Satellite's table: DIMM0 and the second "DIMM1" hold 8 GB each.
    ASSERT_EQ(modules.size(), 2u);
    EXPECT_EQ(modules[0]->property(prop::DeviceLocator), ManagementValue::text("DIMM0"));
    EXPECT_EQ(modules[1]->property(prop::BankLabel), ManagementValue::text("BANK 2"));
    EXPECT_EQ(modules[1]->property(prop::Capacity), ManagementValue::text("8589934592"));
}

TEST(UdevMemory, UdevComesBeforeEdac) {
    TOLVEX_REQUIRE_FIXTURES();
    TempRoot root;
    root.write(std::string(kDmiDatabase),
               readBytes(fixturesDir() / "udev-dmi/Lenovo-ThinkPad-X280.udev-data"));
    writeEdacModule(root);
    const auto service = linuxprov::makeLinuxService(root.path().string());
    const auto modules = instances(*service, wmi::cls::PhysicalMemory);
    ASSERT_EQ(modules.size(), 2u);
    EXPECT_EQ(modules[0]->property(prop::DeviceLocator), ManagementValue::text("ChannelA-DIMM0"));
}

// Damaged databases: each either falls through to the memory controller's
// view (one 2 GiB "EDAC DIMM") or lists udev's modules with what can still
// be read; none fails.
struct DamagedCase {
    const char* name;
    std::string database;  // empty: a directory stands where the file should be
    std::vector<std::string> wantLocators;
    std::vector<std::string> wantCapacities;  // "Null" for Null
};

const std::string kTwoModules =
    "I:1733558400000000\n"
    "E:MEMORY_DEVICE_0_SIZE=4294967296\n"
    "E:MEMORY_DEVICE_0_LOCATOR=A0\n"
    "E:MEMORY_DEVICE_1_SIZE=8589934592\n"
    "E:MEMORY_DEVICE_1_LOCATOR=A1\n"
    "V:1\n";

const DamagedCase kDamaged[] = {
    {"NotAFile", "", {"EDAC DIMM"}, {"2147483648"}},
    {"NoMemoryDevices", "I:1\nE:MEMORY_ARRAY_NUM_DEVICES=2\nV:1\n", {"EDAC DIMM"}, {"2147483648"}},
    {"OnlyEmptySlots",
     "E:MEMORY_DEVICE_0_PRESENT=0\nE:MEMORY_DEVICE_0_LOCATOR=A0\n",
     {"EDAC DIMM"},
     {"2147483648"}},
    {"Intact", kTwoModules, {"A0", "A1"}, {"4294967296", "8589934592"}},
    // Cut inside the last value: "85" is not the module's size.
    {"CutMidLine", "E:MEMORY_DEVICE_0_LOCATOR=A0\nE:MEMORY_DEVICE_0_SIZE=85", {"A0"}, {"Null"}},
    {"LineWithoutEquals",
     "E:MEMORY_DEVICE_0_SIZE\nE:MEMORY_DEVICE_0_LOCATOR=A0\nE:MEMORY_DEVICE_1_LOCATOR=A1\n",
     {"A0", "A1"},
     {"Null", "Null"}},
    {"IndexesOutOfOrder",
     "E:MEMORY_DEVICE_1_LOCATOR=A1\nE:MEMORY_DEVICE_0_LOCATOR=A0\nE:MEMORY_DEVICE_1_SIZE="
     "8589934592\nE:MEMORY_DEVICE_0_SIZE=4294967296\n",
     {"A0", "A1"},
     {"4294967296", "8589934592"}},
    {"SizeNotANumber",
     "E:MEMORY_DEVICE_0_SIZE=8 GB\nE:MEMORY_DEVICE_0_LOCATOR=A0\nE:MEMORY_DEVICE_1_SIZE=-1\n"
     "E:MEMORY_DEVICE_1_LOCATOR=A1\nE:MEMORY_DEVICE_2_SIZE=99999999999999999999999\n"
     "E:MEMORY_DEVICE_2_LOCATOR=A2\n",
     {"A0", "A1", "A2"},
     {"Null", "Null", "Null"}},
    {"BadIndexes",
     "E:MEMORY_DEVICE_x_SIZE=1\nE:MEMORY_DEVICE__SIZE=1\nE:MEMORY_DEVICE_99999999_SIZE=1\n"
     "E:MEMORY_DEVICE_-1_SIZE=1\nE:MEMORY_DEVICE_3_=1\nE:MEMORY_DEVICE_3_LOCATOR=A3\n",
     {"A3"},
     {"Null"}},
    {"HostileText",
     std::string("E:MEMORY_DEVICE_0_LOCATOR=A\xff\x1b[31m\n") + "E:MEMORY_DEVICE_0_SIZE=1024\n",
     {"A\xEF\xBF\xBD [31m"},
     {"1024"}},
};

void PrintTo(const DamagedCase& c, std::ostream* os) {
    *os << c.name;
}

class DamagedDatabase : public ::testing::TestWithParam<DamagedCase> {};

TEST_P(DamagedDatabase, FallsThroughOrGivesNulls) {
    const DamagedCase& c = GetParam();
    TempRoot root;
    if (c.database.empty()) {
        fs::create_directories(root.path() / std::string(kDmiDatabase).substr(1) / "sub");
    } else {
        root.write(std::string(kDmiDatabase), c.database);
    }
    writeEdacModule(root);
    const auto service = linuxprov::makeLinuxService(root.path().string());
    const auto modules = instances(*service, wmi::cls::PhysicalMemory);
    std::vector<std::string> locators, capacities;
    for (const auto& module : modules) {
        locators.push_back(module->property(prop::DeviceLocator).asText());
        const auto capacity = module->property(prop::Capacity);
        capacities.push_back(capacity.isNull() ? "Null" : capacity.asText());
    }
    EXPECT_EQ(locators, c.wantLocators);
    EXPECT_EQ(capacities, c.wantCapacities);
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedDatabase, ::testing::ValuesIn(kDamaged),
                         [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST(UdevMemory, AHugeFileIsNotUdevsAndFallsThrough) {
    TempRoot root;
    root.write(std::string(kDmiDatabase), kTwoModules);
    // 100 MB, sparse: what follows the two modules is zeros.
    fs::resize_file(root.path() / std::string(kDmiDatabase).substr(1), 100u << 20);
    writeEdacModule(root);
    const auto service = linuxprov::makeLinuxService(root.path().string());
    const auto modules = instances(*service, wmi::cls::PhysicalMemory);
    ASSERT_EQ(modules.size(), 1u);
    EXPECT_EQ(modules[0]->property(prop::DeviceLocator), ManagementValue::text("EDAC DIMM"));
}

TEST(UdevMemory, TypeDetailWordsBackToTheirBits) {
    namespace udev = linuxprov::udev;
    struct Row {
        const char* words;
        std::optional<int> bits;
    };
    const Row rows[] = {
        {"None", 0},
        {"Synchronous", 128},
        {"Synchronous Unbuffered (Unregistered)", 128 | 16384},
        {"Synchronous Registered (Buffered) LRDIMM", 128 | 8192 | 32768},
        // Words with blanks in them, next to each other.
        {"Static Column Window DRAM Cache DRAM", 16 | 1024 | 2048},
        {"Other Unknown Fast-paged Pseudo-static RAMBus CMOS EDO Non-Volatile",
         2 | 4 | 8 | 32 | 64 | 256 | 512 | 4096},
        // Not udev's: nothing is guessed.
        {"Synchronous Bogus", std::nullopt},
        {"Synchronous ", std::nullopt},
        {"", std::nullopt},
        {"Static", std::nullopt},
    };
    for (const auto& row : rows) {
        const auto bits = udev::typeDetailFromWords(row.words);
        EXPECT_EQ(bits ? std::optional<int>(*bits) : std::nullopt, row.bits) << row.words;
    }
}

TEST(UdevMemory, VoltagesOnlyWhereTheTextIsExact) {
    namespace udev = linuxprov::udev;
    struct Row {
        const char* volts;
        std::optional<int> millivolts;
    };
    const Row rows[] = {
        {"1.35", 1350},
        {"1.2", 1200},
        {"0.9", 900},
        {"1.225", 1225},
        {"2.5", 2500},
        // Whole hundreds from 1 V up are printed with one digit: "1" may be
        // 1.0, 1.1, 1.2 or 1.4 V.
        {"1", std::nullopt},
        {"2", std::nullopt},
        {"1.2345", std::nullopt},
        {"", std::nullopt},
        {"1.", std::nullopt},
        {".5", std::nullopt},
        {"-1.2", std::nullopt},
        {"1,2", std::nullopt},
        {"0.0", std::nullopt},
        {"99.999", std::nullopt},
    };
    for (const auto& row : rows) {
        const auto mv = udev::millivoltsFromVolts(row.volts);
        EXPECT_EQ(mv ? std::optional<int>(*mv) : std::nullopt, row.millivolts) << row.volts;
    }
}

TEST(UdevMemory, SpeedsOfTheExtendedFieldAreUnknown) {
    // udev prints only the speed word; 65535 says "look in the extended
    // field", which it leaves out.
    TempRoot root;
    root.write(std::string(kDmiDatabase),
               "E:MEMORY_DEVICE_0_SIZE=17179869184\nE:MEMORY_DEVICE_0_SPEED_MTS=65535\n"
               "E:MEMORY_DEVICE_0_CONFIGURED_SPEED_MTS=4800\nE:MEMORY_DEVICE_0_TYPE=DDR5\n"
               "E:MEMORY_DEVICE_0_FORM_FACTOR=<OUT OF SPEC>\n"
               "E:MEMORY_DEVICE_0_MINIMUM_VOLTAGE=1.1\nE:MEMORY_DEVICE_0_MAXIMUM_VOLTAGE=1.1\n");
    const auto service = linuxprov::makeLinuxService(root.path().string());
    const auto modules = instances(*service, wmi::cls::PhysicalMemory);
    ASSERT_EQ(modules.size(), 1u);
    EXPECT_TRUE(modules[0]->property(prop::Speed).isNull());
    EXPECT_EQ(modules[0]->property("ConfiguredClockSpeed"), ManagementValue::integer(4800));
    // DDR5 has no code of the class; the raw type travels as from the table.
    EXPECT_EQ(modules[0]->property(prop::MemoryType), ManagementValue::integer(0));
    EXPECT_EQ(modules[0]->property("SMBIOSMemoryType"), ManagementValue::integer(0x22));
    EXPECT_TRUE(modules[0]->property(prop::FormFactor).isNull());
    EXPECT_EQ(modules[0]->property("MinVoltage"), ManagementValue::integer(1100));
    EXPECT_EQ(modules[0]->property("MaxVoltage"), ManagementValue::integer(1100));
}

// tolvex-query as an ordinary user on a captured machine whose only memory
// source is udev's database.
TEST(UdevMemory, QueryToolShowsTheModulesToAnOrdinaryUser) {
    TOLVEX_REQUIRE_FIXTURES();
#ifndef TOLVEX_QUERY_PATH
    GTEST_SKIP() << "tolvex-query is not part of this build";
#else
    const std::string runner = std::string(TOLVEX_SOURCE_DIR) + "/tests/run-as-ordinary-user";
    if (::access(TOLVEX_QUERY_PATH, X_OK) != 0) {
        GTEST_SKIP() << "tolvex-query has not been built";
    }
    const std::string reachable = "'" + runner + "' test -x '" + TOLVEX_QUERY_PATH + "'";
    if (std::system(reachable.c_str()) != 0) {
        GTEST_SKIP() << "tolvex-query is not reachable by an ordinary user";
    }
    TempRoot root;
    root.write(std::string(kDmiDatabase), readBytes(fixturesDir() / "udev-dmi/HP-Z600.udev-data"));
    // The temporary tree is its owner's alone; the ordinary user reads it.
    for (const auto& entry : fs::recursive_directory_iterator(root.path())) {
        fs::permissions(entry.path(), entry.is_directory()
                                          ? fs::perms::owner_all | fs::perms::group_read |
                                                fs::perms::group_exec | fs::perms::others_read |
                                                fs::perms::others_exec
                                          : fs::perms::owner_read | fs::perms::owner_write |
                                                fs::perms::group_read | fs::perms::others_read);
    }
    fs::permissions(root.path(), fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec);
    const std::string command = "'" + runner + "' '" + TOLVEX_QUERY_PATH + "' --root '" +
                                root.path().string() + "' Win32_PhysicalMemory 2>&1";
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
    for (const char* locator :
         {"CPU0 DIMM1", "CPU0 DIMM2", "CPU1 DIMM1", "CPU1 DIMM2", "SYSTEM ROM"}) {
        EXPECT_NE(output.find(locator), std::string::npos) << locator << "\n" << output;
    }
    EXPECT_NE(output.find("Physical Memory 4"), std::string::npos) << output;
    EXPECT_EQ(output.find("Physical Memory 5"), std::string::npos) << output;
    EXPECT_EQ(output.find("DIMM3"), std::string::npos) << "an empty slot is listed\n" << output;
#endif
}

}  // namespace
}  // namespace tolvex::testing
