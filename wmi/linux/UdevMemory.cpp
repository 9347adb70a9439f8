#include "wmi/linux/UdevMemory.h"

#include <array>

#include "wmi/linux/SysText.h"

namespace tolvex::linuxprov::udev {

namespace {

constexpr std::string_view kDevicePrefix = "MEMORY_DEVICE_";
// SMBIOS handles are 16 bits wide, so no table holds more structures.
constexpr unsigned kMaxDeviceIndex = 0xFFFF;

// The words of udev's helper, at the position of the code they stand for.
constexpr std::array<std::string_view, 0x11> kFormFactorWords = {
    "",        "Other",  "Unknown",
    "SIMM",    "SIP",    "Chip",
    "DIP",     "ZIP",    "Proprietary Card",
    "DIMM",    "TSOP",   "Row Of Chips",
    "RIMM",    "SODIMM", "SRIMM",
    "FB-DIMM", "Die"};

constexpr std::array<std::string_view, 0x25> kMemoryTypeWords = {
    "", "Other", "Unknown", "DRAM", "EDRAM", "VRAM", "SRAM", "RAM", "ROM", "Flash", "EEPROM",
    "FEPROM", "EPROM", "CDRAM", "3DRAM", "SDRAM", "SGRAM", "RDRAM", "DDR", "DDR2", "DDR2 FB-DIMM",
    // 0x15..0x17 are all printed "Reserved": the word names none of them.
    "", "", "", "DDR3", "FBD2", "DDR4", "LPDDR", "LPDDR2", "LPDDR3", "LPDDR4",
    "Logical non-volatile device", "HBM", "HBM2", "DDR5", "LPDDR5", "HBM3"};

constexpr std::array<std::string_view, 16> kTypeDetailWords = {"",
                                                               "Other",
                                                               "Unknown",
                                                               "Fast-paged",
                                                               "Static Column",
                                                               "Pseudo-static",
                                                               "RAMBus",
                                                               "Synchronous",
                                                               "CMOS",
                                                               "EDO",
                                                               "Window DRAM",
                                                               "Cache DRAM",
                                                               "Non-Volatile",
                                                               "Registered (Buffered)",
                                                               "Unbuffered (Unregistered)",
                                                               "LRDIMM"};

template <std::size_t N>
std::optional<std::uint8_t> codeOfWord(const std::array<std::string_view, N>& words,
                                       std::string_view word) {
    if (word.empty()) {
        return std::nullopt;
    }
    for (std::size_t code = 0; code < N; ++code) {
        if (words[code] == word) {
            return static_cast<std::uint8_t>(code);
        }
    }
    return std::nullopt;
}

std::optional<std::string> field(const std::map<std::string, std::string>& fields,
                                 const char* name) {
    const auto it = fields.find(name);
    if (it == fields.end()) {
        return std::nullopt;
    }
    return it->second;
}

// A whole number within [1, max]; udev leaves zeros out, so a zero is no
// value as well.
template <typename T>
std::optional<T> number(const std::map<std::string, std::string>& fields, const char* name,
                        std::uint64_t max) {
    const auto text = field(fields, name);
    if (!text) {
        return std::nullopt;
    }
    const auto value = text::parseUnsigned(*text);
    if (!value || *value == 0 || *value > max) {
        return std::nullopt;
    }
    return static_cast<T>(*value);
}

// A string of the structure as udev printed it (already trimmed).
std::optional<std::string> structureString(const std::map<std::string, std::string>& fields,
                                           const char* name) {
    const auto text = field(fields, name);
    // udev prints "Not Specified" for string number 0 and "<BAD INDEX>" for
    // a number past the structure's strings: the table holds no string.
    if (!text || text->empty() || *text == "Not Specified" || *text == "<BAD INDEX>") {
        return std::nullopt;
    }
    std::string clean = text::trimmed(text::cleanText(*text));
    if (clean.empty()) {
        return std::nullopt;
    }
    return clean;
}

}  // namespace

std::vector<MemoryDeviceFields> parseMemoryDevices(std::string_view databaseText) {
    std::map<unsigned, std::map<std::string, std::string>> byIndex;
    for (auto& [key, value] : parseProperties(databaseText)) {
        if (std::string_view(key).substr(0, kDevicePrefix.size()) != kDevicePrefix) {
            continue;
        }
        // "<n>_<FIELD>": the number, then the field's name.
        const std::string_view rest = std::string_view(key).substr(kDevicePrefix.size());
        const auto underscore = rest.find('_');
        if (underscore == std::string_view::npos || underscore == 0 ||
            underscore + 1 == rest.size()) {
            continue;
        }
        const auto index = text::parseUnsigned(rest.substr(0, underscore));
        if (!index || *index > kMaxDeviceIndex ||
            rest.substr(0, underscore).find_first_not_of("0123456789") != std::string_view::npos) {
            continue;
        }
        auto& fields = byIndex[static_cast<unsigned>(*index)];
        fields.emplace(std::string(rest.substr(underscore + 1)), std::move(value));
    }
    std::vector<MemoryDeviceFields> devices;
    devices.reserve(byIndex.size());
    for (auto& [index, fields] : byIndex) {
        devices.push_back({index, std::move(fields)});
    }
    return devices;
}

std::optional<std::string> readDmiDatabase(const FileTree& files) {
    return readDatabase(files, kDmiDatabase);
}

std::optional<std::uint8_t> formFactorFromWord(std::string_view word) {
    return codeOfWord(kFormFactorWords, word);
}

std::optional<std::uint8_t> memoryTypeFromWord(std::string_view word) {
    return codeOfWord(kMemoryTypeWords, word);
}

std::optional<std::uint16_t> typeDetailFromWords(std::string_view words) {
    if (words == "None") {
        return std::uint16_t{0};
    }
    // Some words hold blanks themselves ("Static Column"), so each position
    // takes the longest word that matches there, followed by a blank or the
    // end.
    std::uint16_t bits = 0;
    std::size_t at = 0;
    while (at < words.size()) {
        std::size_t bestLength = 0;
        std::size_t bestBit = 0;
        for (std::size_t bit = 1; bit < kTypeDetailWords.size(); ++bit) {
            const std::string_view word = kTypeDetailWords[bit];
            if (word.size() > bestLength && words.substr(at, word.size()) == word &&
                (at + word.size() == words.size() || words[at + word.size()] == ' ')) {
                bestLength = word.size();
                bestBit = bit;
            }
        }
        if (bestLength == 0) {
            return std::nullopt;  // a word udev does not print: the bits are unknown
        }
        bits = static_cast<std::uint16_t>(bits | (1u << bestBit));
        at += bestLength;
        if (at < words.size()) {
            ++at;  // the blank between words
            if (at == words.size()) {
                return std::nullopt;
            }
        }
    }
    if (bits == 0) {
        return std::nullopt;
    }
    return bits;
}

std::optional<std::uint16_t> millivoltsFromVolts(std::string_view volts) {
    const auto point = volts.find('.');
    if (point == std::string_view::npos || point == 0 || point > 2 || point + 1 == volts.size() ||
        volts.size() - point - 1 > 3) {
        return std::nullopt;
    }
    const auto whole = text::parseUnsigned(volts.substr(0, point));
    std::string fraction(volts.substr(point + 1));
    if (!whole || fraction.find_first_not_of("0123456789") != std::string::npos ||
        volts.substr(0, point).find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    fraction.resize(3, '0');
    const std::uint64_t millivolts = *whole * 1000 + *text::parseUnsigned(fraction);
    if (millivolts == 0 || millivolts > 0xFFFF) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(millivolts);
}

smbios::MemoryDeviceInfo memoryDeviceFromFields(const std::map<std::string, std::string>& fields) {
    smbios::MemoryDeviceInfo m;
    // udev prints PRESENT=0 for a slot without a module and no size when the
    // size is unknown: a module of unknown size is still installed.
    m.installed = field(fields, "PRESENT") != std::optional<std::string>("0");
    if (m.installed) {
        m.sizeBytes = number<std::uint64_t>(fields, "SIZE", UINT64_MAX);
    }
    // Widths of 0xFFFF mean unknown, as in the table.
    m.totalWidth = number<std::uint16_t>(fields, "TOTAL_WIDTH", 0xFFFE);
    m.dataWidth = number<std::uint16_t>(fields, "DATA_WIDTH", 0xFFFE);
    if (const auto word = field(fields, "FORM_FACTOR")) {
        m.formFactor = formFactorFromWord(*word);
    }
    if (const auto word = field(fields, "TYPE")) {
        m.memoryType = memoryTypeFromWord(*word);
    }
    if (const auto words = field(fields, "TYPE_DETAIL")) {
        m.typeDetail = typeDetailFromWords(*words);
    }
    m.deviceLocator = structureString(fields, "LOCATOR");
    m.bankLocator = structureString(fields, "BANK_LOCATOR");
    m.manufacturer = structureString(fields, "MANUFACTURER");
    m.serialNumber = structureString(fields, "SERIAL_NUMBER");
    m.assetTag = structureString(fields, "ASSET_TAG");
    m.partNumber = structureString(fields, "PART_NUMBER");
    // udev prints the speed word alone: 0xFFFF says the real speed is in the
    // extended field, which it does not print.
    m.speedMts = number<std::uint32_t>(fields, "SPEED_MTS", 0xFFFE);
    m.configuredSpeedMts = number<std::uint32_t>(fields, "CONFIGURED_SPEED_MTS", 0xFFFE);
    m.rank = number<std::uint8_t>(fields, "RANK", 0x0F);
    const auto voltage = [&](const char* name) -> std::optional<std::uint16_t> {
        const auto text = field(fields, name);
        return text ? millivoltsFromVolts(*text) : std::nullopt;
    };
    m.minVoltageMv = voltage("MINIMUM_VOLTAGE");
    m.maxVoltageMv = voltage("MAXIMUM_VOLTAGE");
    m.configuredVoltageMv = voltage("CONFIGURED_VOLTAGE");
    return m;
}

}  // namespace tolvex::linuxprov::udev
