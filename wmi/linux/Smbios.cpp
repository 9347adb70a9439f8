#include "wmi/linux/Smbios.h"

#include "wmi/linux/SysText.h"

#include <algorithm>
#include <cstdlib>

namespace tolvex::linuxprov::smbios {

namespace {

constexpr std::uint8_t kEndOfTable = 127;
constexpr std::size_t kHeaderLength = 4;

std::uint64_t littleEndian(std::string_view bytes, std::size_t offset, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        value |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[offset + i]))
                 << (8 * i);
    }
    return value;
}

std::optional<std::uint64_t> fieldAt(std::string_view bytes, std::size_t offset,
                                     std::size_t width) {
    if (offset > bytes.size() || bytes.size() - offset < width) {
        return std::nullopt;
    }
    return littleEndian(bytes, offset, width);
}

std::string trimmedText(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

}  // namespace

std::string printable(std::string_view bytes) {
    return text::cleanText(bytes);
}

std::optional<std::uint8_t> Structure::byteAt(std::size_t offset) const {
    const auto v = fieldAt(formatted, offset, 1);
    return v ? std::optional<std::uint8_t>(static_cast<std::uint8_t>(*v)) : std::nullopt;
}

std::optional<std::uint16_t> Structure::wordAt(std::size_t offset) const {
    const auto v = fieldAt(formatted, offset, 2);
    return v ? std::optional<std::uint16_t>(static_cast<std::uint16_t>(*v)) : std::nullopt;
}

std::optional<std::uint32_t> Structure::dwordAt(std::size_t offset) const {
    const auto v = fieldAt(formatted, offset, 4);
    return v ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(*v)) : std::nullopt;
}

std::optional<std::uint64_t> Structure::qwordAt(std::size_t offset) const {
    return fieldAt(formatted, offset, 8);
}

std::optional<std::string> Structure::stringAt(std::size_t offset) const {
    const auto number = byteAt(offset);
    if (!number || *number == 0 || *number > strings.size()) {
        return std::nullopt;
    }
    const std::string& raw = strings[*number - 1];
    if (raw.empty()) {
        return std::nullopt;
    }
    return printable(raw);
}

std::vector<const Structure*> Table::ofType(std::uint8_t type) const {
    std::vector<const Structure*> out;
    for (const auto& s : structures) {
        if (s.type == type) {
            out.push_back(&s);
        }
    }
    return out;
}

const Structure* Table::byHandle(std::uint16_t handle) const {
    for (const auto& s : structures) {
        if (s.handle == handle) {
            return &s;
        }
    }
    return nullptr;
}

std::optional<EntryPoint> parseEntryPoint(std::string_view bytes) {
    EntryPoint entry;
    if (bytes.size() >= 0x18 && bytes.substr(0, 5) == "_SM3_") {
        entry.version = {static_cast<unsigned char>(bytes[7]),
                         static_cast<unsigned char>(bytes[8])};
        entry.tableLength = static_cast<std::uint32_t>(littleEndian(bytes, 0x0C, 4));
        entry.tableAddress = littleEndian(bytes, 0x10, 8);
        return entry;
    }
    if (bytes.size() >= 0x1F && bytes.substr(0, 4) == "_SM_" && bytes.substr(0x10, 5) == "_DMI_") {
        entry.version = {static_cast<unsigned char>(bytes[6]),
                         static_cast<unsigned char>(bytes[7])};
        entry.tableLength = static_cast<std::uint32_t>(littleEndian(bytes, 0x16, 2));
        entry.tableAddress = littleEndian(bytes, 0x18, 4);
        return entry;
    }
    if (bytes.size() >= 0x0F && bytes.substr(0, 5) == "_DMI_") {
        // A bare legacy entry point: the revision is one BCD byte.
        const auto bcd = static_cast<unsigned char>(bytes[0x0E]);
        entry.version = {bcd >> 4, bcd & 0x0F};
        entry.tableLength = static_cast<std::uint32_t>(littleEndian(bytes, 0x06, 2));
        entry.tableAddress = littleEndian(bytes, 0x08, 4);
        return entry;
    }
    return std::nullopt;
}

Table parseTable(std::string_view bytes, std::optional<Version> version) {
    Table table;
    table.version = version;
    std::size_t pos = 0;
    while (bytes.size() - pos >= kHeaderLength) {
        const auto type = static_cast<std::uint8_t>(bytes[pos]);
        const std::size_t length = static_cast<unsigned char>(bytes[pos + 1]);
        if (length < kHeaderLength || length > bytes.size() - pos) {
            table.broken = true;
            return table;
        }
        // The string set follows the formatted area and ends with two NULs
        // (just two NULs when the structure has no strings).
        const std::size_t stringsStart = pos + length;
        const std::size_t terminator = bytes.find(std::string_view("\0\0", 2), stringsStart);
        if (terminator == std::string_view::npos) {
            table.broken = true;
            return table;
        }
        Structure s;
        s.type = type;
        s.handle = static_cast<std::uint16_t>(littleEndian(bytes, pos + 2, 2));
        s.formatted.assign(bytes.substr(pos, length));
        std::size_t at = stringsStart;
        // A structure without strings stores its two NULs right at the start;
        // otherwise each string ends with one NUL and the last one is followed
        // by the second NUL.
        if (terminator > stringsStart) {
            while (at <= terminator) {
                const std::size_t end = bytes.find('\0', at);
                s.strings.emplace_back(bytes.substr(at, end - at));
                at = end + 1;
            }
        }
        table.structures.push_back(std::move(s));
        pos = terminator + 2;
        if (type == kEndOfTable) {
            break;
        }
    }
    return table;
}

const Table& TableView::table(const FileTree& files) const {
    std::call_once(m_read, [&] { m_table = readTable(files); });
    return m_table;
}

Table readTable(const FileTree& files) {
    std::optional<Version> version;
    if (const auto entryBytes = files.read("/sys/firmware/dmi/tables/smbios_entry_point", 64)) {
        if (const auto entry = parseEntryPoint(*entryBytes)) {
            version = entry->version;
        }
    }
    if (const auto bytes = files.read(kTablePath, 1u << 20)) {
        if (!bytes->empty()) {
            Table table = parseTable(*bytes, version);
            table.source = table.broken ? damagedSource(kTablePath)
                                        : fileSource(files, kTablePath, kTablesWhat);
            return table;
        }
    }
    const Source whole = fileSource(files, kTablePath, kTablesWhat);
    // The kernel's per-structure view: directories named "<type>-<instance>",
    // each with the structure's bytes in "raw".
    struct Entry {
        long type;
        long instance;
        std::string name;
    };
    std::vector<Entry> entries;
    const char* const entriesPath = "/sys/firmware/dmi/entries";
    for (const auto& name : files.list(entriesPath)) {
        const auto dash = name.find('-');
        if (dash == std::string::npos || dash == 0 || dash + 1 == name.size()) {
            continue;
        }
        char* end = nullptr;
        const long type = std::strtol(name.c_str(), &end, 10);
        if (end != name.c_str() + dash) {
            continue;
        }
        const long instance = std::strtol(name.c_str() + dash + 1, &end, 10);
        if (*end != '\0') {
            continue;
        }
        entries.push_back({type, instance, name});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.type != b.type ? a.type < b.type : a.instance < b.instance;
    });
    Table table;
    table.version = version;
    std::optional<std::string> failedRaw;
    bool anyRead = false;
    for (const auto& entry : entries) {
        const std::string path = std::string(entriesPath) + "/" + entry.name + "/raw";
        const auto raw = files.read(path, 65536);
        if (!raw) {
            failedRaw = failedRaw.value_or(path);
            continue;
        }
        anyRead = true;
        Table one = parseTable(*raw);
        if (!one.structures.empty()) {
            table.structures.push_back(std::move(one.structures.front()));
        }
        table.broken = table.broken || one.broken;
    }
    // The single structures: the first one that could not be read says
    // why, unless another could.
    Source single = fileSource(files, entriesPath, kTablesWhat);
    if (table.broken) {
        single = damagedSource(entriesPath);
    } else if (!anyRead && failedRaw) {
        single = fileSource(files, *failedRaw, kTablesWhat);
    }
    table.source = anyRead ? single : either({whole, single});
    return table;
}

Source dmiIdSource(const FileTree& files, std::string_view name) {
    return fileSource(files, "/sys/class/dmi/id/" + std::string(name), kTablesWhat);
}

std::optional<std::string> dmiId(const FileTree& files, std::string_view name) {
    const auto content = files.read("/sys/class/dmi/id/" + std::string(name), 4096);
    if (!content) {
        return std::nullopt;
    }
    std::string text = trimmedText(printable(trimmedText(*content)));
    if (text.empty()) {
        return std::nullopt;
    }
    return text;
}

// --- Decoders. Offsets are those of the SMBIOS reference; a field beyond a
// structure's length (an older SMBIOS version) stays without a value. ----

ProcessorInfo decodeProcessor(const Structure& s) {
    ProcessorInfo p;
    p.socket = s.stringAt(0x04);
    p.processorType = s.byteAt(0x05);
    if (const auto family = s.byteAt(0x06)) {
        const auto family2 = s.wordAt(0x28);
        p.family = (*family == 0xFE && family2) ? *family2 : *family;
    }
    p.manufacturer = s.stringAt(0x07);
    if (const auto id = s.qwordAt(0x08); id && *id != 0) {
        p.id = id;
    }
    p.version = s.stringAt(0x10);
    p.voltage = s.byteAt(0x11);
    const auto nonZero = [](std::optional<std::uint16_t> v) {
        return v && *v != 0 ? v : std::nullopt;
    };
    p.externalClockMhz = nonZero(s.wordAt(0x12));
    p.maxSpeedMhz = nonZero(s.wordAt(0x14));
    p.currentSpeedMhz = nonZero(s.wordAt(0x16));
    p.status = s.byteAt(0x18).value_or(0);
    p.upgrade = s.byteAt(0x19);
    const auto handle = [](std::optional<std::uint16_t> v) {
        return v && *v != 0xFFFF ? v : std::nullopt;
    };
    p.l2Handle = handle(s.wordAt(0x1C));
    p.l3Handle = handle(s.wordAt(0x1E));
    p.serialNumber = s.stringAt(0x20);
    p.assetTag = s.stringAt(0x21);
    p.partNumber = s.stringAt(0x22);
    // Counts above 254 are stored in the 16-bit fields of SMBIOS 3.0 and the
    // byte holds 0xFF; 0 means unknown.
    const auto count = [&](std::size_t byteOffset,
                           std::size_t wordOffset) -> std::optional<std::uint16_t> {
        const auto b = s.byteAt(byteOffset);
        if (!b || *b == 0) {
            return std::nullopt;
        }
        if (*b == 0xFF) {
            const auto w = s.wordAt(wordOffset);
            if (w && *w != 0 && *w != 0xFFFF) {
                return w;
            }
        }
        return *b;
    };
    p.coreCount = count(0x23, 0x2A);
    p.coresEnabled = count(0x24, 0x2C);
    p.threadCount = count(0x25, 0x2E);
    p.characteristics = s.wordAt(0x26);
    return p;
}

CacheInfo decodeCache(const Structure& s) {
    CacheInfo c;
    if (const auto config = s.wordAt(0x05)) {
        c.level = static_cast<std::uint8_t>((*config & 0x7) + 1);
    }
    if (const auto installed = s.wordAt(0x09)) {
        if (*installed == 0xFFFF) {
            // Too large for the word: the double word of SMBIOS 3.1 holds it.
            if (const auto installed2 = s.dwordAt(0x17)) {
                const std::uint64_t units = *installed2 & 0x7FFFFFFFu;
                const std::uint64_t kb = (*installed2 & 0x80000000u) ? units * 64 : units;
                if (kb <= 0xFFFFFFFFu) {
                    c.installedKb = static_cast<std::uint32_t>(kb);
                }
            }
        } else {
            const std::uint32_t units = *installed & 0x7FFFu;
            c.installedKb = (*installed & 0x8000u) ? units * 64 : units;
        }
    }
    if (const auto speed = s.byteAt(0x0F); speed && *speed != 0) {
        c.speedNs = speed;
    }
    return c;
}

MemoryDeviceInfo decodeMemoryDevice(const Structure& s) {
    MemoryDeviceInfo m;
    const auto width = [](std::optional<std::uint16_t> v) {
        return v && *v != 0xFFFF && *v != 0 ? v : std::nullopt;
    };
    m.totalWidth = width(s.wordAt(0x08));
    m.dataWidth = width(s.wordAt(0x0A));
    if (const auto size = s.wordAt(0x0C)) {
        m.installed = *size != 0;
        if (*size == 0x7FFF) {
            // The extended size, in MB, of SMBIOS 2.7.
            if (const auto extended = s.dwordAt(0x1C)) {
                m.sizeBytes = static_cast<std::uint64_t>(*extended & 0x7FFFFFFFu) << 20;
            }
        } else if (*size != 0 && *size != 0xFFFF) {
            const std::uint64_t units = *size & 0x7FFFu;
            m.sizeBytes = (*size & 0x8000u) ? units << 10 : units << 20;
        }
    }
    m.formFactor = s.byteAt(0x0E);
    m.deviceLocator = s.stringAt(0x10);
    m.bankLocator = s.stringAt(0x11);
    m.memoryType = s.byteAt(0x12);
    m.typeDetail = s.wordAt(0x13);
    const auto speed = [&](std::size_t wordOffset,
                           std::size_t dwordOffset) -> std::optional<std::uint32_t> {
        const auto w = s.wordAt(wordOffset);
        if (!w || *w == 0) {
            return std::nullopt;
        }
        if (*w == 0xFFFF) {
            const auto d = s.dwordAt(dwordOffset);
            if (d && (*d & 0x7FFFFFFFu) != 0) {
                return *d & 0x7FFFFFFFu;
            }
            return std::nullopt;
        }
        return *w;
    };
    m.speedMts = speed(0x15, 0x54);
    m.manufacturer = s.stringAt(0x17);
    m.serialNumber = s.stringAt(0x18);
    m.assetTag = s.stringAt(0x19);
    m.partNumber = s.stringAt(0x1A);
    if (const auto attributes = s.byteAt(0x1B); attributes && (*attributes & 0x0F) != 0) {
        m.rank = static_cast<std::uint8_t>(*attributes & 0x0F);
    }
    m.configuredSpeedMts = speed(0x20, 0x58);
    const auto millivolts = [](std::optional<std::uint16_t> v) {
        return v && *v != 0 ? v : std::nullopt;
    };
    m.minVoltageMv = millivolts(s.wordAt(0x22));
    m.maxVoltageMv = millivolts(s.wordAt(0x24));
    m.configuredVoltageMv = millivolts(s.wordAt(0x26));
    return m;
}

BaseBoardInfo decodeBaseBoard(const Structure& s) {
    BaseBoardInfo b;
    b.manufacturer = s.stringAt(0x04);
    b.product = s.stringAt(0x05);
    b.version = s.stringAt(0x06);
    b.serialNumber = s.stringAt(0x07);
    b.assetTag = s.stringAt(0x08);
    b.features = s.byteAt(0x09);
    b.boardType = s.byteAt(0x0D);
    return b;
}

}  // namespace tolvex::linuxprov::smbios
