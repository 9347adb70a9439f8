// The provider over every captured SMBIOS table, compared with dmidecode's
// decode of the same table.

#include <cmath>
#include <regex>

#include "ProviderFixtures.h"
#include "wmi/WmiNames.h"

namespace tolvex::testing {
namespace {

namespace fs = std::filesystem;

const char* const kTables[] = {
    "smbios/go-smbios/ASRock-Single-Ryzen.dmi",
    "smbios/go-smbios/Beelink-EQ12.dmi",
    "smbios/go-smbios/Dell-PowerEdge-R630-Dual-Xeon.dmi",
    "smbios/go-smbios/SuperMicro-Dual-Xeon.dmi",
    "smbios/go-smbios/HyperV.dmi",
    "smbios/u-root/satellite_pro_l70_testdata.bin",
    "smbios/smbios-lib/jeffgerlap_3_2_0.dat",
};

// What dmidecode prints for a string, as the provider should give it:
// "Not Specified" is how it shows a missing string (Null) and also a string
// that says so, so both are accepted.
void expectText(const ManagementValue& actual, const std::optional<std::string>& printed,
                const std::string& what) {
    SCOPED_TRACE(what);
    if (!printed || *printed == "Not Specified" || *printed == "<BAD INDEX>") {
        EXPECT_TRUE(actual.isNull() || (printed && actual == ManagementValue::text(*printed)))
            << debugText(actual);
        return;
    }
    EXPECT_EQ(actual, ManagementValue::text(*printed));
}

// "2400 MHz", "2400 MT/s" or "Unknown".
ManagementValue printedNumber(const std::optional<std::string>& printed) {
    std::smatch m;
    if (printed && std::regex_match(*printed, m, std::regex(R"((\d+) (MHz|MT/s))"))) {
        return ManagementValue::integer(std::stoll(m[1]));
    }
    return ManagementValue::null();
}

// "1.2 V" is 12 tenths; several voltages (a list of supported ones) or
// "Unknown" state none.
ManagementValue printedVoltage(const std::optional<std::string>& printed) {
    std::smatch m;
    if (printed && std::regex_match(*printed, m, std::regex(R"((\d+(\.\d+)?) V)"))) {
        return ManagementValue::integer(std::lround(std::stod(m[1]) * 10));
    }
    return ManagementValue::null();
}

ManagementValue printedSize(const std::optional<std::string>& printed) {
    std::smatch m;
    if (printed && std::regex_match(*printed, m, std::regex(R"((\d+) (kB|MB|GB|TB))"))) {
        const std::uint64_t n = std::stoull(m[1]);
        const std::string unit = m[2];
        const int shift = unit == "kB" ? 10 : unit == "MB" ? 20 : unit == "GB" ? 30 : 40;
        return ManagementValue::text(std::to_string(n << shift));
    }
    return ManagementValue::null();
}

// The management class's memory-type codes for dmidecode's type names.
ManagementValue memoryTypeFor(const std::optional<std::string>& printed) {
    static const std::map<std::string, int> kCodes = {
        {"Other", 1}, {"Unknown", 0}, {"DRAM", 2},  {"SDRAM", 17}, {"RDRAM", 19}, {"DDR", 20},
        {"DDR2", 21}, {"DDR3", 24},   {"DDR4", 26}, {"DDR5", 0},   {"LPDDR4", 0}, {"LPDDR5", 0},
    };
    const auto it = printed ? kCodes.find(*printed) : kCodes.end();
    return it == kCodes.end() ? ManagementValue::null() : ManagementValue::integer(it->second);
}

class SmbiosFixture : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        TOLVEX_REQUIRE_FIXTURES();
        m_file = fixturesDir() / GetParam();
        m_records = parseDmidecode(readBytes(m_file.string() + ".dmidecode.txt"));
        ASSERT_FALSE(m_records.empty());
        placeSmbios(m_root, loadSmbiosImage(m_file));
        m_service = linuxprov::makeLinuxService(m_root.path().string());
    }

    std::vector<DmiRecord> records(int type) const {
        std::vector<DmiRecord> out;
        for (const auto& r : m_records) {
            if (r.type == type) {
                out.push_back(r);
            }
        }
        return out;
    }

    fs::path m_file;
    std::vector<DmiRecord> m_records;
    TempRoot m_root;
    ServicePtr m_service;
};

TEST_P(SmbiosFixture, EveryStructureDmidecodeShowsIsParsed) {
    const auto image = loadSmbiosImage(m_file);
    const auto table = linuxprov::smbios::parseTable(image.table);
    EXPECT_EQ(table.structures.size(), m_records.size());
}

TEST_P(SmbiosFixture, ProcessorsMatchThePopulatedSockets) {
    std::vector<DmiRecord> expected;
    for (const auto& r : records(4)) {
        if (r.get("Status").value_or("").rfind("Populated", 0) == 0) {
            expected.push_back(r);
        }
    }
    const auto processors = instances(*m_service, wmi::cls::Processor);
    ASSERT_EQ(processors.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        SCOPED_TRACE("socket " + std::to_string(k));
        const auto& cpu = *processors[k];
        const auto& want = expected[k];
        EXPECT_EQ(cpu.property(wmi::prop::DeviceID),
                  ManagementValue::text("CPU" + std::to_string(k)));
        expectText(cpu.property(wmi::prop::Name), want.get("Version"), "Name");
        EXPECT_EQ(cpu.property(wmi::prop::MaxClockSpeed), printedNumber(want.get("Max Speed")));
        EXPECT_EQ(cpu.property(wmi::prop::ExtClock), printedNumber(want.get("External Clock")));
        EXPECT_EQ(cpu.property(wmi::prop::CurrentVoltage), printedVoltage(want.get("Voltage")));
        expectText(cpu.property("SocketDesignation"), want.get("Socket Designation"), "socket");
        // dmidecode prints the ID bytes in table order: EAX, then EDX.
        if (const auto id = want.get("ID"); id && *id != "00 00 00 00 00 00 00 00") {
            std::istringstream bytes(*id);
            std::vector<std::string> b(8);
            for (auto& byte : b) {
                bytes >> byte;
            }
            const std::string edxEax = b[7] + b[6] + b[5] + b[4] + b[3] + b[2] + b[1] + b[0];
            EXPECT_EQ(cpu.property(wmi::prop::ProcessorId), ManagementValue::text(edxEax));
        }
    }
}

TEST_P(SmbiosFixture, MemoryModulesMatchTheInstalledDevices) {
    std::vector<DmiRecord> expected;
    for (const auto& r : records(17)) {
        if (r.get("Size").value_or("") != "No Module Installed") {
            expected.push_back(r);
        }
    }
    const auto modules = instances(*m_service, wmi::cls::PhysicalMemory);
    ASSERT_EQ(modules.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        SCOPED_TRACE("module " + std::to_string(k));
        const auto& module = *modules[k];
        const auto& want = expected[k];
        EXPECT_EQ(module.property(wmi::prop::Tag),
                  ManagementValue::text("Physical Memory " + std::to_string(k)));
        EXPECT_EQ(module.property(wmi::prop::Capacity), printedSize(want.get("Size")));
        expectText(module.property(wmi::prop::DeviceLocator), want.get("Locator"), "locator");
        expectText(module.property(wmi::prop::BankLabel), want.get("Bank Locator"), "bank");
        EXPECT_EQ(module.property(wmi::prop::Speed), printedNumber(want.get("Speed")));
        expectText(module.property(wmi::prop::Manufacturer), want.get("Manufacturer"), "maker");
        expectText(module.property(wmi::prop::PartNumber), want.get("Part Number"), "part");
        EXPECT_EQ(module.property(wmi::prop::MemoryType), memoryTypeFor(want.get("Type")));
    }
}

TEST_P(SmbiosFixture, BaseBoardMatchesTheFirstBoardStructure) {
    const auto boards = instances(*m_service, wmi::cls::BaseBoard);
    ASSERT_EQ(boards.size(), 1u);
    const auto expected = records(2);
    const auto& board = *boards.front();
    if (expected.empty()) {
        EXPECT_TRUE(board.property(wmi::prop::Manufacturer).isNull());
        EXPECT_TRUE(board.property(wmi::prop::Product).isNull());
        return;
    }
    expectText(board.property(wmi::prop::Manufacturer), expected[0].get("Manufacturer"),
               "manufacturer");
    expectText(board.property(wmi::prop::Product), expected[0].get("Product Name"), "product");
    expectText(board.property(wmi::prop::Version), expected[0].get("Version"), "version");
    expectText(board.property(wmi::prop::SerialNumber), expected[0].get("Serial Number"), "serial");
}

INSTANTIATE_TEST_SUITE_P(CapturedTables, SmbiosFixture, ::testing::ValuesIn(kTables),
                         [](const auto& paramInfo) {
                             std::string name = fs::path(paramInfo.param).stem().string();
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) {
                                     c = '_';
                                 }
                             }
                             return name;
                         });

TEST(SmbiosBrokenTable, HyperVKeepsWhatPrecedesTheBreak) {
    TOLVEX_REQUIRE_FIXTURES();
    const auto image = loadSmbiosImage(fixturesDir() / "smbios/go-smbios/HyperV.dmi");
    const auto table = linuxprov::smbios::parseTable(image.table);
    EXPECT_TRUE(table.broken);
    // dmidecode decodes BIOS, system, enclosure and the OEM strings (type 11)
    // before the zero-length structure.
    ASSERT_FALSE(table.structures.empty());
    EXPECT_EQ(table.structures.back().type, 11);
    EXPECT_EQ(table.ofType(1).size(), 1u);
}

TEST(SmbiosBrokenTable, EveryPrefixOfEveryTableParsesWithoutReadingPastIt) {
    TOLVEX_REQUIRE_FIXTURES();
    for (const char* file : kTables) {
        const auto image = loadSmbiosImage(fixturesDir() / file);
        const auto whole = linuxprov::smbios::parseTable(image.table);
        for (std::size_t cut = 0; cut < image.table.size(); cut += 7) {
            // A copy of exactly `cut` bytes, so that a sanitizer sees any read
            // beyond them.
            const std::string prefix = image.table.substr(0, cut);
            const auto table = linuxprov::smbios::parseTable(prefix);
            ASSERT_LE(table.structures.size(), whole.structures.size()) << file << " at " << cut;
            for (const auto& s : table.structures) {
                const auto p = linuxprov::smbios::decodeProcessor(s);
                const auto m = linuxprov::smbios::decodeMemoryDevice(s);
                (void)p;
                (void)m;
            }
        }
    }
}

}  // namespace
}  // namespace tolvex::testing
