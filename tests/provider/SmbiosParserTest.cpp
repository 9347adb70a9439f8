// The SMBIOS parser and the code translations on hand-made bytes: every
// malformed shape a firmware table can take.

#include <map>

#include "ProviderFixtures.h"
#include "wmi/linux/MemoryFacts.h"
#include "wmi/linux/ProcessorFacts.h"

namespace tolvex::testing {
namespace {

using linuxprov::smbios::parseEntryPoint;
using linuxprov::smbios::parseTable;

// A structure: type, formatted bytes after the 4-byte header, strings.
std::string structure(std::uint8_t type, std::string body, std::vector<std::string> strings,
                      std::uint16_t handle = 0x100) {
    std::string out;
    out.push_back(static_cast<char>(type));
    out.push_back(static_cast<char>(4 + body.size()));
    out.push_back(static_cast<char>(handle & 0xFF));
    out.push_back(static_cast<char>(handle >> 8));
    out += body;
    for (const auto& s : strings) {
        out += s;
        out.push_back('\0');
    }
    if (strings.empty()) {
        out.push_back('\0');
    }
    out.push_back('\0');
    return out;
}

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out.push_back(static_cast<char>(v));
    }
    return out;
}

struct TableCase {
    const char* what;
    std::string table;
    std::size_t structures;
    bool broken;
};

TEST(SmbiosParser, MalformedTablesKeepWhatPrecedesTheFault) {
    const std::string board = structure(2, bytes({1, 2, 0, 0}), {"Maker", "Board"});
    const std::string end = structure(127, "", {});
    const TableCase cases[] = {
        {"well formed", board + end, 2, false},
        {"no end-of-table structure", board, 1, false},
        {"nothing after the end marker is read", board + end + board, 2, false},
        {"length below the header", board + bytes({4, 2, 0, 0, 0, 0}), 1, true},
        {"formatted area past the end", board + bytes({4, 40, 0, 1, 1, 1}), 1, true},
        {"strings without their terminator", board + bytes({2, 5, 0, 1, 1, 'a', 'b'}), 1, true},
        {"a header cut short", board + bytes({4, 26}), 1, false},
        {"empty", "", 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto table = parseTable(c.table);
        EXPECT_EQ(table.structures.size(), c.structures);
        EXPECT_EQ(table.broken, c.broken);
    }
}

TEST(SmbiosParser, StringNumbersOutsideTheSetAreNull) {
    // Manufacturer 1, product 3 (past the set), version 0 (none), serial at
    // an offset beyond the structure.
    const auto table = parseTable(structure(2, bytes({1, 3, 0}), {"Maker", "Other"}));
    ASSERT_EQ(table.structures.size(), 1u);
    const auto& s = table.structures[0];
    EXPECT_EQ(s.stringAt(0x04), "Maker");
    EXPECT_EQ(s.stringAt(0x05), std::nullopt);
    EXPECT_EQ(s.stringAt(0x06), std::nullopt);
    EXPECT_EQ(s.stringAt(0x07), std::nullopt);
    EXPECT_EQ(s.wordAt(0x06), std::nullopt);  // one byte left, not two
}

TEST(SmbiosParser, StringsBecomePrintableUtf8) {
    const struct {
        std::string raw;
        std::string shown;
    } cases[] = {
        {"Kingston", "Kingston"},
        {"KF3200C16D4/32GX    ", "KF3200C16D4/32GX    "},  // kept as the firmware has it
        {"Caf\xC3\xA9", "Caf\xC3\xA9"},                    // valid UTF-8 stays
        {"A\xFF"
         "B",
         "A\xEF\xBF\xBD"
         "B"},                                                     // not UTF-8
        {"\xC3", "\xEF\xBF\xBD"},                                  // cut sequence
        {"\xE0\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // overlong form
        {"tab\there", "tab here"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(linuxprov::smbios::printable(c.raw), c.shown);
    }
}

TEST(SmbiosParser, EntryPointsOfBothWidths) {
    std::string sm3(0x18, '\0');
    sm3.replace(0, 5, "_SM3_");
    sm3[7] = 3;
    sm3[8] = 5;
    sm3[0x0C] = 0x34;
    sm3[0x0D] = 0x12;
    sm3[0x10] = 0x20;
    const auto e3 = parseEntryPoint(sm3);
    ASSERT_TRUE(e3);
    EXPECT_EQ(e3->version.major, 3);
    EXPECT_EQ(e3->version.minor, 5);
    EXPECT_EQ(e3->tableLength, 0x1234u);
    EXPECT_EQ(e3->tableAddress, 0x20u);

    std::string sm(0x1F, '\0');
    sm.replace(0, 4, "_SM_");
    sm.replace(0x10, 5, "_DMI_");
    sm[6] = 2;
    sm[7] = 7;
    sm[0x16] = 0x10;
    const auto e2 = parseEntryPoint(sm);
    ASSERT_TRUE(e2);
    EXPECT_EQ(e2->version.major, 2);
    EXPECT_EQ(e2->version.minor, 7);
    EXPECT_EQ(e2->tableLength, 0x10u);

    EXPECT_FALSE(parseEntryPoint(sm.substr(0, 0x1E)));  // cut short
    EXPECT_FALSE(parseEntryPoint("_SM3_"));
    EXPECT_FALSE(parseEntryPoint("garbage that is long enough to be one......"));
}

TEST(SmbiosParser, MemoryDeviceSizes) {
    // Size word at 0x0C; extended size (MB) at 0x1C.
    const auto device = [](int sizeLow, int sizeHigh, std::uint32_t extended) {
        std::string body(0x20 - 4, '\0');
        body[0x0C - 4] = static_cast<char>(sizeLow);
        body[0x0D - 4] = static_cast<char>(sizeHigh);
        for (std::size_t k = 0; k < 4; ++k) {
            body[0x1C - 4 + k] = static_cast<char>((extended >> (8 * k)) & 0xFF);
        }
        const auto table = parseTable(structure(17, body, {}));
        return linuxprov::smbios::decodeMemoryDevice(table.structures.at(0));
    };
    const struct {
        const char* what;
        int low, high;
        std::uint32_t extended;
        bool installed;
        std::optional<std::uint64_t> bytes;
    } cases[] = {
        {"8192 MB", 0x00, 0x20, 0, true, 8192ull << 20},
        {"512 KB (granularity bit)", 0x00, 0x82, 0, true, 512ull << 10},
        {"no module", 0, 0, 0, false, std::nullopt},
        {"unknown size", 0xFF, 0xFF, 0, true, std::nullopt},
        {"extended 64 GB", 0xFF, 0x7F, 65536, true, 65536ull << 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto m = device(c.low, c.high, c.extended);
        EXPECT_EQ(m.installed, c.installed);
        EXPECT_EQ(m.sizeBytes, c.bytes);
    }
}

TEST(ProcessorCodes, VoltageByte) {
    const struct {
        int raw;
        std::optional<int> tenths;
        std::optional<int> caps;
    } cases[] = {
        {0x8C, 12, std::nullopt},  // 1.2 V
        {0xA1, 33, std::nullopt},  // 3.3 V
        {0x80, 0, std::nullopt},   // stated as 0.0 V
        {0x01, 50, 1},             // legacy 5 V only
        {0x02, 33, 2},
        {0x04, 29, 4},
        {0x03, std::nullopt, 3},  // 5 V and 3.3 V supported: no one voltage
        {0x00, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw);
        EXPECT_EQ(linuxprov::voltageTenths(static_cast<std::uint8_t>(c.raw)), c.tenths);
        EXPECT_EQ(linuxprov::voltageCaps(static_cast<std::uint8_t>(c.raw)), c.caps);
    }
}

TEST(ProcessorCodes, SignatureOfKnownProcessors) {
    const struct {
        unsigned family, model, stepping;
        std::uint32_t signature;
    } cases[] = {
        {6, 63, 2, 0x000306F2},   // Xeon E5 v3
        {6, 183, 1, 0x000B0671},  // model 0xB7: extended model
        {25, 1, 1, 0x00A00F11},   // AMD Zen 3: extended family
        {15, 4, 8, 0x00000F48},   // family 15 has no extended part
        {6, 8, 3, 0x00000683},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(linuxprov::x86Signature(c.family, c.model, c.stepping), c.signature);
    }
    EXPECT_EQ(linuxprov::processorIdText(0xBFEBFBFF000306F2ull), "BFEBFBFF000306F2");
    EXPECT_EQ(linuxprov::x86FeatureEdx("fpu vme de pse"), 0xFu);
    EXPECT_EQ(linuxprov::x86FeatureEdx("sse2 pbe ssse3"), (1u << 26) | (1u << 31));
}

// What the kernel's lines tell of processors other than x86: the name, the
// Win32_Processor.Architecture code and the data width.
TEST(ProcessorCodes, KernelLinesOfOtherArchitectures) {
    using Lines = std::map<std::string, std::string>;
    const struct {
        Lines lines;
        const char* machine;
        std::optional<std::string> name;
        std::optional<int> architecture, dataWidth;
    } cases[] = {
        {Lines{{"isa", "rv64imafdc"}, {"uarch", "sifive,u74-mc"}}, "riscv64", "sifive,u74-mc",
         std::nullopt, 64},
        {Lines{{"isa", "rv32imac"}}, "riscv32", "rv32imac", std::nullopt, 32},
        {Lines{{"cpu", "POWER9 (raw), altivec supported"}}, "ppc64le",
         "POWER9 (raw), altivec supported", 3, 64},
        {Lines{{"cpu", "EV67"}}, "alpha", "EV67", 2, std::nullopt},
        {Lines{{"cpu", "TI UltraSparc IIi (Sabre)"}, {"cpucaps", "flush,stbar,swap,muldiv,v9"}},
         "sparc64", "TI UltraSparc IIi (Sabre)", std::nullopt, 64},
        {Lines{{"cpu model", "MIPS 24Kc V7.4"}}, "mips", "MIPS 24Kc V7.4", 1, std::nullopt},
        {Lines{{"arch", "IA-64"}, {"vendor", "GenuineIntel"}, {"family", "Itanium 2"}}, "ia64",
         "Itanium 2", 6, 64},
        {Lines{{"cpu architecture", "8"}, {"model name", "ARMv8 Processor rev 4 (v8l)"}}, "aarch64",
         "ARMv8 Processor rev 4 (v8l)", 12, 64},
        {Lines{{"cpu architecture", "7"}}, "armv7l", std::nullopt, 5, 32},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.machine);
        const auto view = linuxprov::describeCpu(
            [&](const char* key) -> std::optional<std::string> {
                const auto it = c.lines.find(key);
                return it == c.lines.end() ? std::nullopt : std::optional(it->second);
            },
            std::string(c.machine));
        EXPECT_EQ(view.name, c.name);
        EXPECT_EQ(view.architecture, c.architecture);
        EXPECT_EQ(view.dataWidth, c.dataWidth);
    }
}

TEST(MemoryCodes, SmbiosTypesAndFormFactors) {
    const std::pair<int, int> types[] = {{0x0F, 17}, {0x12, 20}, {0x13, 21}, {0x18, 24},
                                         {0x1A, 26}, {0x22, 0},  {0x02, 0},  {0x15, 0}};
    for (const auto& [smbios, code] : types) {
        EXPECT_EQ(linuxprov::memoryTypeCode(static_cast<std::uint8_t>(smbios)), code) << smbios;
    }
    const std::pair<int, int> forms[] = {{0x09, 8}, {0x0D, 12}, {0x03, 7}, {0x02, 0}, {0x40, 0}};
    for (const auto& [smbios, code] : forms) {
        EXPECT_EQ(linuxprov::formFactorCode(static_cast<std::uint8_t>(smbios)), code) << smbios;
    }
    EXPECT_EQ(linuxprov::edacMemoryTypeCode("Unbuffered-DDR3"), 24);
    EXPECT_EQ(linuxprov::edacMemoryTypeCode("Registered-DDR4\n"), 26);
    EXPECT_EQ(linuxprov::edacMemoryTypeCode("DDR5"), std::nullopt);
    EXPECT_EQ(linuxprov::edacMemoryTypeCode(""), std::nullopt);
}

}  // namespace
}  // namespace tolvex::testing
