#include "wmi/linux/ProcessorFacts.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "wmi/linux/CpuInfo.h"

namespace tolvex::linuxprov {

namespace {

// Win32_Processor.Architecture codes.
constexpr int kArchX86 = 0;
constexpr int kArchMips = 1;
constexpr int kArchAlpha = 2;
constexpr int kArchPowerPc = 3;
constexpr int kArchArm = 5;
constexpr int kArchIa64 = 6;
constexpr int kArchX64 = 9;
constexpr int kArchArm64 = 12;

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool hasWord(const std::string& list, std::string_view word) {
    // Split by hand: a string stream per look-up had made the 31 flag
    // look-ups a seventh of a cold query's instructions.
    constexpr std::string_view kBlanks = " \t\n\v\f\r";
    const std::string_view text(list);
    std::size_t start = text.find_first_not_of(kBlanks);
    while (start != std::string_view::npos) {
        const std::size_t end = std::min(text.find_first_of(kBlanks, start), text.size());
        if (text.substr(start, end - start) == word) {
            return true;
        }
        start = text.find_first_not_of(kBlanks, end);
    }
    return false;
}

std::optional<unsigned> number(const std::optional<std::string>& text) {
    if (!text || text->empty()) {
        return std::nullopt;
    }
    char* end = nullptr;
    const unsigned long value = std::strtoul(text->c_str(), &end, 0);
    if (end == text->c_str() || value > 0xFFFFFFu) {
        return std::nullopt;
    }
    return static_cast<unsigned>(value);
}

std::string lowerHex(const std::string& text) {
    std::string out;
    for (char c : text) {
        out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    return out;
}

}  // namespace

std::string processorIdText(std::uint64_t id) {
    char buffer[17];
    std::snprintf(buffer, sizeof buffer, "%08X%08X", static_cast<unsigned>(id >> 32),
                  static_cast<unsigned>(id & 0xFFFFFFFFu));
    return buffer;
}

std::uint32_t x86Signature(unsigned family, unsigned model, unsigned stepping) {
    const unsigned baseFamily = family < 0xF ? family : 0xF;
    const unsigned extendedFamily = family < 0xF ? 0 : family - 0xF;
    return (stepping & 0xF) | ((model & 0xF) << 4) | (baseFamily << 8) |
           (((model >> 4) & 0xF) << 16) | ((extendedFamily & 0xFF) << 20);
}

std::uint32_t x86FeatureEdx(const std::string& flags) {
    // The kernel's names of the leaf 1 EDX bits, by bit number (bits 10 and
    // 20 are reserved; bit 21, the debug store, is shown as "dts").
    static const char* const kNames[32] = {
        "fpu",  "vme",  "de",   "pse", "tsc",  "msr", "pae",   "mce", "cx8",     "apic",  nullptr,
        "sep",  "mtrr", "pge",  "mca", "cmov", "pat", "pse36", "pn",  "clflush", nullptr, "dts",
        "acpi", "mmx",  "fxsr", "sse", "sse2", "ss",  "ht",    "tm",  "ia64",    "pbe"};
    std::uint32_t edx = 0;
    for (unsigned bit = 0; bit < 32; ++bit) {
        if (kNames[bit] && hasWord(flags, kNames[bit])) {
            edx |= 1u << bit;
        }
    }
    return edx;
}

std::optional<int> voltageTenths(std::uint8_t raw) {
    if (raw & 0x80) {
        // Firmware that states 0.0 V is reported as it states it, as the
        // management service does.
        return raw & 0x7F;
    }
    switch (raw & 0x07) {
        case 0x01:
            return 50;
        case 0x02:
            return 33;
        case 0x04:
            return 29;
        default:
            return std::nullopt;  // none, or several supported voltages
    }
}

std::optional<int> voltageCaps(std::uint8_t raw) {
    if (raw & 0x80 || (raw & 0x07) == 0) {
        return std::nullopt;
    }
    return raw & 0x07;
}

std::optional<std::string> armImplementerName(const std::optional<std::string>& implementer) {
    const auto code = number(implementer);
    if (!code) {
        return std::nullopt;
    }
    switch (*code) {
        case 0x41:
            return "ARM Limited";
        case 0x42:
            return "Broadcom Corporation";
        case 0x43:
            return "Cavium Inc.";
        case 0x46:
            return "Fujitsu Ltd.";
        case 0x48:
            return "HiSilicon";
        case 0x4E:
            return "NVIDIA Corporation";
        case 0x50:
            return "Applied Micro Circuits Corporation";
        case 0x51:
            return "Qualcomm Inc.";
        case 0x53:
            return "Samsung Electronics";
        case 0x56:
            return "Marvell International Ltd.";
        case 0x61:
            return "Apple Inc.";
        case 0x69:
            return "Intel Corporation";
        case 0xC0:
            return "Ampere Computing";
        default:
            return std::nullopt;
    }
}

std::optional<std::string> armCoreName(const std::optional<std::string>& implementer,
                                       const std::optional<std::string>& part) {
    if (number(implementer) != 0x41u) {
        return std::nullopt;
    }
    const auto code = number(part);
    if (!code) {
        return std::nullopt;
    }
    struct Row {
        unsigned part;
        const char* name;
    };
    static const Row kParts[] = {
        {0xc05, "Cortex-A5"},   {0xc07, "Cortex-A7"},   {0xc08, "Cortex-A8"},
        {0xc09, "Cortex-A9"},   {0xc0d, "Cortex-A12"},  {0xc0e, "Cortex-A17"},
        {0xc0f, "Cortex-A15"},  {0xd01, "Cortex-A32"},  {0xd03, "Cortex-A53"},
        {0xd04, "Cortex-A35"},  {0xd05, "Cortex-A55"},  {0xd07, "Cortex-A57"},
        {0xd08, "Cortex-A72"},  {0xd09, "Cortex-A73"},  {0xd0a, "Cortex-A75"},
        {0xd0b, "Cortex-A76"},  {0xd0c, "Neoverse-N1"}, {0xd0d, "Cortex-A77"},
        {0xd40, "Neoverse-V1"}, {0xd41, "Cortex-A78"},  {0xd44, "Cortex-X1"},
        {0xd46, "Cortex-A510"}, {0xd47, "Cortex-A710"}, {0xd48, "Cortex-X2"},
        {0xd49, "Neoverse-N2"}, {0xd4d, "Cortex-A715"}, {0xd4e, "Cortex-X3"},
        {0xd4f, "Neoverse-V2"}, {0xd80, "Cortex-A520"}, {0xd81, "Cortex-A720"},
        {0xd82, "Cortex-X4"},   {0xd85, "Cortex-X925"}, {0xd87, "Cortex-A725"},
    };
    for (const auto& row : kParts) {
        if (row.part == *code) {
            return std::string(row.name);
        }
    }
    return std::nullopt;
}

std::optional<int> osAddressWidth(const std::string& machine) {
    static const char* const k64[] = {"x86_64", "aarch64", "arm64",       "ppc64",
                                      "s390x",  "riscv64", "loongarch64", "sparc64",
                                      "mips64", "ia64",    "alpha"};
    for (const char* name : k64) {
        if (startsWith(machine, name)) {
            return 64;
        }
    }
    if ((machine.size() == 4 && machine[0] == 'i' && machine.substr(2) == "86") ||
        startsWith(machine, "arm") || machine == "ppc" || machine == "s390" ||
        machine == "riscv32" || machine == "mips" || machine == "sparc") {
        return 32;
    }
    return std::nullopt;
}

namespace {

// The x86 signature and the processor id CPUID gives, from the family,
// model and stepping the kernel decoded and the feature flags.
void describeX86Signature(const std::string& vendor, const std::string& flags, bool longMode,
                          unsigned family, unsigned model, unsigned stepping, KernelCpuView& view) {
    view.revision = static_cast<int>(((model & 0xFF) << 8) | (stepping & 0xFF));
    view.version = "Model " + std::to_string(model) + ", Stepping " + std::to_string(stepping);
    view.caption =
        std::string(longMode ? (vendor == "GenuineIntel" ? "Intel64" : "AMD64") : "x86") +
        " Family " + std::to_string(family) + " Model " + std::to_string(model) + " Stepping " +
        std::to_string(stepping);
    view.stepping = std::to_string(stepping);
    // Every 64-bit x86 processor sets the SYSENTER bit, but 64-bit kernels
    // of some versions hide "sep" from the flags.
    const std::uint32_t edx = x86FeatureEdx(flags) | (longMode ? 1u << 11 : 0u);
    const std::uint64_t id =
        (static_cast<std::uint64_t>(edx) << 32) | x86Signature(family, model, stepping);
    view.processorId = processorIdText(id);
}

// x86: the brand string, the CPUID vendor and the signature.
void describeX86(const CpuField& field, const std::string& vendor, const std::string& flags,
                 unsigned family, KernelCpuView& view) {
    const auto model = number(field("model"));
    const auto stepping = number(field("stepping"));
    const bool longMode = hasWord(flags, "lm");
    view.architecture = longMode ? kArchX64 : kArchX86;
    view.dataWidth = longMode ? 64 : 32;
    view.manufacturer = vendor;
    view.name = field("model name");
    view.level = static_cast<int>(family);
    if (model && stepping) {
        describeX86Signature(vendor, flags, longMode, family, *model, *stepping, view);
    }
    if (const auto mhz = field("cpu mhz")) {
        view.clockMhz = cpu::parseLeadingNumber(*mhz);
    }
}

// ARM: "8" (or "AArch64" on old kernels) for 64-bit cores, "7" and below
// for 32-bit ones.
void describeArm(const CpuField& field, const std::string& armArch, KernelCpuView& view) {
    const auto archNumber = number(armArch);
    const bool arm64 = armArch == "AArch64" || (archNumber && *archNumber >= 8);
    view.architecture = arm64 ? kArchArm64 : kArchArm;
    view.dataWidth = arm64 ? 64 : 32;
    view.armArchitecture = arm64 && !archNumber ? 8 : static_cast<int>(archNumber.value_or(0));
    if (view.armArchitecture == 0) {
        view.armArchitecture.reset();
    }
    view.level = view.armArchitecture;
    view.manufacturer = armImplementerName(field("cpu implementer"));
    view.name = field("model name");
}

// POWER, Alpha and SPARC name the processor in a "cpu" line; LoongArch in
// "model name".
void describeByCpuLine(const CpuField& field, KernelCpuView& view) {
    if (const auto cpuLine = field("cpu")) {
        if (startsWith(*cpuLine, "POWER") || startsWith(*cpuLine, "PPC") ||
            startsWith(*cpuLine, "ppc")) {
            view.architecture = kArchPowerPc;
        } else if (startsWith(*cpuLine, "Alpha") || startsWith(*cpuLine, "EV")) {
            view.architecture = kArchAlpha;
        }
        view.name = *cpuLine;
        if (const auto clock = field("clock")) {
            view.clockMhz = cpu::parseLeadingNumber(*clock);
        }
        if (const auto caps = field("cpucaps"); caps && caps->find("v9") != std::string::npos) {
            view.dataWidth = 64;  // SPARC V9
        }
    } else if (const auto loongson = field("model name")) {
        view.name = *loongson;
    }
}

// RISC-V: "rv64imafdc..."; LoongArch: "loongarch32 loongarch64".
void describeByIsa(const CpuField& field, KernelCpuView& view) {
    const auto isa = field("isa");
    if (!isa) {
        return;
    }
    if (startsWith(*isa, "rv64") || isa->find("loongarch64") != std::string::npos) {
        view.dataWidth = 64;
    } else if (startsWith(*isa, "rv32")) {
        view.dataWidth = 32;
    }
    if (!view.name) {
        view.name = field("uarch") ? field("uarch") : isa;
    }
}

// MIPS names its processor in "cpu model"; Itanium gives "arch IA-64".
void describeMipsOrIa64(const CpuField& field, KernelCpuView& view) {
    if (const auto cpuModel = field("cpu model"); cpuModel && !view.name) {
        view.name = *cpuModel;
        if (startsWith(*cpuModel, "MIPS") || cpuModel->find("MIPS") != std::string::npos) {
            view.architecture = kArchMips;
        }
    }
    if (const auto arch = field("arch"); arch && lowerHex(*arch) == "ia-64") {
        view.architecture = kArchIa64;
        view.dataWidth = 64;
        view.manufacturer = field("vendor");
        view.name = field("model name") ? field("model name") : field("family");
    }
}

// Any other processor: what its kernel's lines say, then the vendor and
// clock lines most kernels write.
void describeOther(const CpuField& field, const std::optional<std::string>& vendor,
                   KernelCpuView& view) {
    describeByCpuLine(field, view);
    describeByIsa(field, view);
    describeMipsOrIa64(field, view);
    if (!view.name && vendor) {
        view.name = *vendor;  // s390: "IBM/S390"
    }
    if (!view.manufacturer && vendor) {
        view.manufacturer = *vendor;
    }
    if (!view.clockMhz) {
        if (const auto mhz = field("cpu mhz")) {
            view.clockMhz = cpu::parseLeadingNumber(*mhz);
        }
    }
    if (!view.dataWidth && view.addressWidth && view.architecture == kArchPowerPc) {
        view.dataWidth = view.addressWidth;
    }
}

}  // namespace

KernelCpuView describeCpu(const CpuField& field, const std::optional<std::string>& machine) {
    KernelCpuView view;
    if (machine) {
        view.addressWidth = osAddressWidth(*machine);
    }
    const auto vendor = field("vendor_id");
    const auto flags = field("flags");
    const auto family = number(field("cpu family"));
    if (vendor && flags && family) {
        describeX86(field, *vendor, *flags, *family, view);
    } else if (const auto armArch = field("cpu architecture")) {
        describeArm(field, *armArch, view);
    } else {
        describeOther(field, vendor, view);
    }
    return view;
}

}  // namespace tolvex::linuxprov
