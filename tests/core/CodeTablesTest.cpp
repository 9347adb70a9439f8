#include <gtest/gtest.h>

#include <ostream>

#include "wmi/modWMI.h"

namespace {

using Table = std::string (*)(std::int16_t);
using namespace tolvex::modWMI;

struct Row {
    const char* table;
    Table fn;
    std::int16_t code;
    const char* text;
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.table << "(" << row.code << ")";
}

#define ROW(fn, code, text) \
    Row {                   \
#fn, fn, code, text \
    }

// Both ends of every range and the codes just outside them, in every table.
const Row kRows[] = {
    ROW(ProtocolText, 0, ""),
    ROW(ProtocolText, 1, "<unknown>"),
    ROW(ProtocolText, 2, "<unknown>"),
    ROW(ProtocolText, 3, "EISA"),
    ROW(ProtocolText, 9, "SCSI Parallel Interface"),
    ROW(ProtocolText, 12, "SCSI Serial Bus-2 (1394)"),
    ROW(ProtocolText, 20, "12C"),
    ROW(ProtocolText, 42, "Enchanced ATA/IDE"),
    ROW(ProtocolText, 47, "IrBus"),
    ROW(ProtocolText, 48, ""),
    ROW(ProtocolText, -1, ""),

    ROW(VideoArchitectureText, 0, ""),
    ROW(VideoArchitectureText, 1, "<unknown>"),
    ROW(VideoArchitectureText, 2, "<unknown>"),
    ROW(VideoArchitectureText, 5, "VGA"),
    ROW(VideoArchitectureText, 12, "Linear Frame Buffer"),
    ROW(VideoArchitectureText, 13, ""),
    ROW(VideoArchitectureText, 159, ""),
    ROW(VideoArchitectureText, 160, "PC-98"),
    ROW(VideoArchitectureText, 161, ""),

    ROW(VideoMemoryTypeText, -1, ""),
    ROW(VideoMemoryTypeText, 0, "<unknown>"),
    ROW(VideoMemoryTypeText, 1, "<unknown>"),
    ROW(VideoMemoryTypeText, 2, "VRAM"),
    ROW(VideoMemoryTypeText, 7, "Burst Synchronous RAM"),
    ROW(VideoMemoryTypeText, 12, "SGRAM"),
    ROW(VideoMemoryTypeText, 13, ""),

    ROW(MemoryFormFactorText, -1, ""),
    ROW(MemoryFormFactorText, 0, "<unknown>"),
    ROW(MemoryFormFactorText, 1, "<unknown>"),
    ROW(MemoryFormFactorText, 2, "SIP"),
    ROW(MemoryFormFactorText, 8, "DIMM"),
    ROW(MemoryFormFactorText, 12, "SODIMM"),
    ROW(MemoryFormFactorText, 13, ""),

    ROW(MemoryTypeDetailText, 0, ""),
    ROW(MemoryTypeDetailText, 1, "Reserved"),
    ROW(MemoryTypeDetailText, 2, "<unknown>"),
    ROW(MemoryTypeDetailText, 3, "<unknown>"),
    ROW(MemoryTypeDetailText, 8, "Synchronous"),
    ROW(MemoryTypeDetailText, 13, "Non-volatile"),
    ROW(MemoryTypeDetailText, 14, ""),
    ROW(MemoryTypeDetailText, 128, ""),

    ROW(MemoryTypeText, 0, ""),
    ROW(MemoryTypeText, 1, "<unknown>"),
    ROW(MemoryTypeText, 2, "<unknown>"),
    ROW(MemoryTypeText, 3, "DRAM"),
    ROW(MemoryTypeText, 4, "Synchronous DRAM"),
    ROW(MemoryTypeText, 18, "SDRAM"),
    ROW(MemoryTypeText, 19, "SGRAM"),
    ROW(MemoryTypeText, 20, ""),

    ROW(DriveTypeText, -1, ""),
    ROW(DriveTypeText, 0, "<unknown>"),
    ROW(DriveTypeText, 1, "No Root Directory"),
    ROW(DriveTypeText, 3, "Local Disk"),
    ROW(DriveTypeText, 5, "Compact Disc"),
    ROW(DriveTypeText, 6, "RAM Disk"),
    ROW(DriveTypeText, 7, ""),

    ROW(ProcessorTypeText, 0, ""),
    ROW(ProcessorTypeText, 1, "<other>"),
    ROW(ProcessorTypeText, 2, "<unknown>"),
    ROW(ProcessorTypeText, 3, "Central Processor"),
    ROW(ProcessorTypeText, 6, "Video Processor"),
    ROW(ProcessorTypeText, 7, ""),

    ROW(ProcessorArchitectureText, -32768, "<unknown>"),
    ROW(ProcessorArchitectureText, 0, "<unknown>"),
    ROW(ProcessorArchitectureText, 1, "x86"),
    ROW(ProcessorArchitectureText, 2, "MIPS"),
    ROW(ProcessorArchitectureText, 3, "Alpha"),
    ROW(ProcessorArchitectureText, 4, "PowerPC"),
    ROW(ProcessorArchitectureText, 5, "<unknown>"),
    ROW(ProcessorArchitectureText, 9, "<unknown>"),

    ROW(ProcessorFamilyText, 0, ""),
    ROW(ProcessorFamilyText, 1, "<unknown>"),
    ROW(ProcessorFamilyText, 2, "<unknown>"),
    ROW(ProcessorFamilyText, 3, ""),
    ROW(ProcessorFamilyText, 5, ""),
    ROW(ProcessorFamilyText, 6, "80486"),
    ROW(ProcessorFamilyText, 7, ""),
    ROW(ProcessorFamilyText, 9, ""),
    ROW(ProcessorFamilyText, 10, "80487"),
    ROW(ProcessorFamilyText, 11, "Pentium Family"),
    ROW(ProcessorFamilyText, 15, "Celeron"),
    ROW(ProcessorFamilyText, 23, "K6-III"),
    ROW(ProcessorFamilyText, 24, "Athlon"),
    ROW(ProcessorFamilyText, 25, "Power PC"),
    ROW(ProcessorFamilyText, 29, "Power PC"),
    ROW(ProcessorFamilyText, 30, "Alpha"),
    ROW(ProcessorFamilyText, 31, "MIPS"),
    ROW(ProcessorFamilyText, 32, ""),
    ROW(ProcessorFamilyText, 42, ""),
    ROW(ProcessorFamilyText, 43, "Pentium III Xeon"),
    ROW(ProcessorFamilyText, 44, ""),
    ROW(ProcessorFamilyText, 51, ""),
    ROW(ProcessorFamilyText, 52, "6x86"),
    ROW(ProcessorFamilyText, 53, ""),
    ROW(ProcessorFamilyText, -1, ""),

    ROW(AvailabilityText, 0, ""),
    ROW(AvailabilityText, 1, "<other>"),
    ROW(AvailabilityText, 3, "Running/Full Power"),
    ROW(AvailabilityText, 4, "Warning!"),
    ROW(AvailabilityText, 6, "<not applicable>"),
    ROW(AvailabilityText, 17, "Power Save - Warning"),
    ROW(AvailabilityText, 18, ""),

    ROW(CpuStatusText, 0, ""),
    ROW(CpuStatusText, 1, "..."),
    ROW(CpuStatusText, 2, "CPU Enabled"),
    ROW(CpuStatusText, 4, "CPU Disabled by BIOS (POST Error)"),
    ROW(CpuStatusText, 5, "CPU Idle"),
    ROW(CpuStatusText, 6, "<reserved>"),
    ROW(CpuStatusText, 7, "<reserved>"),
    ROW(CpuStatusText, 8, "..."),
    ROW(CpuStatusText, 9, ""),
    ROW(CpuStatusText, -32768, ""),
};

class CodeTableTest : public ::testing::TestWithParam<Row> {};

TEST_P(CodeTableTest, GivesItsText) {
    EXPECT_EQ(GetParam().fn(GetParam().code), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, CodeTableTest, ::testing::ValuesIn(kRows));

// Every 16-bit code yields a text without failing, and codes outside each
// table's listed rows fall back as the table says.
TEST(CodeTables, AnswerEverySixteenBitCode) {
    const Table tables[] = {ProtocolText,         VideoArchitectureText, VideoMemoryTypeText,
                            MemoryFormFactorText, MemoryTypeDetailText,  MemoryTypeText,
                            DriveTypeText,        ProcessorTypeText,     ProcessorFamilyText,
                            AvailabilityText,     CpuStatusText};
    for (int code = -32768; code <= 32767; ++code) {
        const auto c = static_cast<std::int16_t>(code);
        for (const Table table : tables) {
            if (code < 0 || code > 160) {
                ASSERT_EQ(table(c), "") << code;
            }
        }
        if (code < 1 || code > 4) {
            ASSERT_EQ(ProcessorArchitectureText(c), "<unknown>") << code;
        }
    }
}

}  // namespace
