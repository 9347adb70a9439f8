#include "wmi/modWMI.h"

#include <array>
#include <string_view>

namespace tolvex::modWMI {

namespace {

// Texts for the consecutive codes first, first + 1, ...; other codes give the
// fallback text.
template <std::size_t N>
std::string lookup(std::int16_t code, int first, const std::array<std::string_view, N>& texts,
                   std::string_view fallback = {}) {
    const int index = code - first;
    if (index < 0 || index >= static_cast<int>(N)) {
        return std::string(fallback);
    }
    return std::string(texts[static_cast<std::size_t>(index)]);
}

constexpr std::string_view kUnknown = "<unknown>";

}  // namespace

std::string ProtocolText(std::int16_t code) {
    static constexpr std::array<std::string_view, 47> texts = {
        kUnknown,
        kUnknown,
        "EISA",
        "ISA",
        "PCI",
        "ATA/ATAPI",
        "Flexible Diskette",
        "1496",
        "SCSI Parallel Interface",
        "SCSI Fibre Channel",
        "SCSI Serial Bus",
        "SCSI Serial Bus-2 (1394)",
        "SCSI Serial Storage",
        "VESA",
        "PCMCIA",
        "USB",
        "Parallel Protocol",
        "ESCON",
        "Diagnostic",
        "12C",
        "Power",
        "HIPPI",
        "MultiBus",
        "VME",
        "IPI",
        "IEEE-48",
        "RS232",
        "IEEE 802.3 10BASE5",
        "IEEE 802.3 10BASE2",
        "IEEE 802.3 1BASE5",
        "IEEE 802.3 10BROAD36",
        "IEEE 802.3 100BASEVG",
        "IEEE 802.5 Token-Ring",
        "ANSI X3T9.5 FDDI",
        "MCA",
        "ESDI",
        "IDE",
        "CMD",
        "ST506",
        "DSSI",
        "QIC2",
        "Enchanced ATA/IDE",
        "AGP",
        "TWIRP",
        "FIR",
        "SIR",
        "IrBus",
    };
    return lookup(code, 1, texts);
}

std::string VideoArchitectureText(std::int16_t code) {
    if (code == 160) {
        return "PC-98";
    }
    static constexpr std::array<std::string_view, 12> texts = {
        kUnknown, kUnknown, "CGA",  "EGA",   "VGA", "SVGA",
        "MDA",    "HGC",    "MCGA", "8514A", "XGA", "Linear Frame Buffer",
    };
    return lookup(code, 1, texts);
}

std::string VideoMemoryTypeText(std::int16_t code) {
    static constexpr std::array<std::string_view, 13> texts = {
        kUnknown,
        kUnknown,
        "VRAM",
        "DRAM",
        "SRAM",
        "WRAM",
        "EDO RAM",
        "Burst Synchronous RAM",
        "Pipeline Burst RAM",
        "CDRAM",
        "3DRAM",
        "SDRAM",
        "SGRAM",
    };
    return lookup(code, 0, texts);
}

std::string MemoryFormFactorText(std::int16_t code) {
    static constexpr std::array<std::string_view, 13> texts = {
        kUnknown, kUnknown, "SIP",  "DIP", "ZIP",  "SOJ",    "Proprietary",
        "SIMM",   "DIMM",   "TSOP", "PGA", "RIMM", "SODIMM",
    };
    return lookup(code, 0, texts);
}

std::string MemoryTypeDetailText(std::int16_t code) {
    static constexpr std::array<std::string_view, 13> texts = {
        "Reserved",      "<unknown>",  "<unknown>",    "Fast-Paged", "Static Column",
        "Pseudo-Static", "RAMBUS",     "Synchronous",  "CMOS",       "EDO",
        "Window DRAM",   "Cache DRAM", "Non-volatile",
    };
    return lookup(code, 1, texts);
}

std::string MemoryTypeText(std::int16_t code) {
    static constexpr std::array<std::string_view, 19> texts = {
        kUnknown,     kUnknown, "DRAM",  "Synchronous DRAM",
        "Cache DRAM", "EDO",    "EDRAM", "VRAM",
        "SRAM",       "RAM",    "ROM",   "Flash",
        "EEPROM",     "FEPROM", "EPROM", "CDRAM",
        "3DRAM",      "SDRAM",  "SGRAM",
    };
    return lookup(code, 1, texts);
}

std::string DriveTypeText(std::int16_t code) {
    static constexpr std::array<std::string_view, 7> texts = {
        kUnknown,        "No Root Directory", "Removable Disk", "Local Disk",
        "Network Drive", "Compact Disc",      "RAM Disk",
    };
    return lookup(code, 0, texts);
}

std::string ProcessorTypeText(std::int16_t code) {
    static constexpr std::array<std::string_view, 6> texts = {
        "<other>",        kUnknown,        "Central Processor",
        "Math Processor", "DSP Processor", "Video Processor",
    };
    return lookup(code, 1, texts);
}

std::string ProcessorArchitectureText(std::int16_t code) {
    static constexpr std::array<std::string_view, 4> texts = {"x86", "MIPS", "Alpha", "PowerPC"};
    return lookup(code, 1, texts, kUnknown);
}

std::string ProcessorFamilyText(std::int16_t code) {
    switch (code) {
        case 1:
        case 2:
            return std::string(kUnknown);
        case 6:
            return "80486";
        case 30:
            return "Alpha";
        case 31:
            return "MIPS";
        case 43:
            return "Pentium III Xeon";
        case 52:
            return "6x86";
        default:
            break;
    }
    if (code >= 25 && code <= 29) {
        return "Power PC";
    }
    static constexpr std::array<std::string_view, 14> texts = {
        "80487",     "Pentium Family",  "Pentium Pro", "Pentium II", "Pentium MMX",
        "Celeron",   "Pentium II Xeon", "Pentium III", "M1 Family",  "M2 Family",
        "K5 Family", "K6 Family",       "K6-2",        "K6-III",
    };
    if (code == 24) {
        return "Athlon";
    }
    return lookup(code, 10, texts);
}

std::string AvailabilityText(std::int16_t code) {
    static constexpr std::array<std::string_view, 17> texts = {
        "<other>",
        kUnknown,
        "Running/Full Power",
        "Warning!",
        "In test",
        "<not applicable>",
        "Power Off",
        "Off Line",
        "Off Duty",
        "Degraded",
        "Not installed",
        "Install Error",
        "Power Save - Unknown",
        "Power Save - Low Power Mode",
        "Power Save - StandBy",
        "Power Cycle",
        "Power Save - Warning",
    };
    return lookup(code, 1, texts);
}

std::string CpuStatusText(std::int16_t code) {
    static constexpr std::array<std::string_view, 8> texts = {
        "...",
        "CPU Enabled",
        "CPU Disabled by user via BIOS",
        "CPU Disabled by BIOS (POST Error)",
        "CPU Idle",
        "<reserved>",
        "<reserved>",
        "...",
    };
    return lookup(code, 1, texts);
}

}  // namespace tolvex::modWMI
