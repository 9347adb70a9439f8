#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wmi/linux/Sources.h"
#include "wmi/linux/SystemSource.h"

// Reading the firmware's SMBIOS structure table. The parser works on bytes
// only, trusts nothing in them and never reads past a structure's formatted
// length or the table's end.
namespace tolvex::linuxprov::smbios {

struct Version {
    int major = 0;
    int minor = 0;
    bool atLeast(int wantMajor, int wantMinor) const {
        return major > wantMajor || (major == wantMajor && minor >= wantMinor);
    }
};

// One structure: its header, its formatted area (header included, as the
// offsets in the SMBIOS reference count from the structure's start) and its
// strings.
struct Structure {
    std::uint8_t type = 0;
    std::uint16_t handle = 0;
    std::string formatted;
    std::vector<std::string> strings;  // raw bytes, string 1 at index 0

    // Fields at an offset; no value when the structure is too short to hold
    // them.
    std::optional<std::uint8_t> byteAt(std::size_t offset) const;
    std::optional<std::uint16_t> wordAt(std::size_t offset) const;
    std::optional<std::uint32_t> dwordAt(std::size_t offset) const;
    std::optional<std::uint64_t> qwordAt(std::size_t offset) const;
    // The string whose number is stored at an offset, made printable; no
    // value for string number 0, a number past the string set, an empty
    // string or a field outside the structure.
    std::optional<std::string> stringAt(std::size_t offset) const;
};

struct Table {
    std::optional<Version> version;
    std::vector<Structure> structures;
    // The table ended in a structure that could not be read (a length below
    // the header, a structure running past the end, strings without their
    // terminator); what came before it is kept.
    bool broken = false;
    // What reading the table came to (set by readTable): the properties
    // taken from it share it.
    Source source;

    std::vector<const Structure*> ofType(std::uint8_t type) const;
    const Structure* byHandle(std::uint16_t handle) const;
};

// Where a table's bytes sit in a blob, and the version its entry point names.
struct EntryPoint {
    Version version;
    std::uint64_t tableAddress = 0;
    std::uint32_t tableLength = 0;  // the 64-bit entry point gives a maximum
};

// Decodes a 32-bit ("_SM_") or 64-bit ("_SM3_") entry point at the start of
// the bytes; no value when they hold neither.
std::optional<EntryPoint> parseEntryPoint(std::string_view bytes);

// Splits a structure table into structures, stopping at the end-of-table
// structure (type 127), at the end of the bytes or at the first structure
// that cannot be read.
Table parseTable(std::string_view bytes, std::optional<Version> version = std::nullopt);

// Turns SMBIOS string bytes into printable UTF-8: valid UTF-8 is kept,
// control characters become blanks and bytes that are not UTF-8 the
// replacement character, as every other text the provider reads.
std::string printable(std::string_view bytes);

// The machine's table, read through the file tree: the whole table from
// /sys/firmware/dmi/tables (with its entry point for the version), else the
// single structures from /sys/firmware/dmi/entries. An empty table when
// neither can be read (the files are readable by root only on most
// systems).
Table readTable(const FileTree& files);

// The table as one service sees it: read at the first class that asks and
// shared by the later ones (processors, memory modules and the board each
// read it, and where the structures are root-only each read tried every
// structure's file). A new service (each Connect makes one) reads it again.
class TableView {
  public:
    const Table& table(const FileTree& files) const;

  private:
    mutable std::once_flag m_read;
    mutable Table m_table;
};

inline constexpr const char* kTablePath = "/sys/firmware/dmi/tables/DMI";
inline constexpr const char* kTablesWhat = "the firmware tables";

// What the last read of a /sys/class/dmi/id attribute came to.
Source dmiIdSource(const FileTree& files, std::string_view name);

// A /sys/class/dmi/id attribute, trimmed and printable; no value when it is
// missing, unreadable or empty.
std::optional<std::string> dmiId(const FileTree& files, std::string_view name);

// --- Decoded structures: only the fields this program uses. ------------

struct ProcessorInfo {  // type 4
    std::optional<std::string> socket;
    std::optional<std::uint8_t> processorType;
    std::optional<std::uint16_t> family;  // Family 2 when the byte says 0xFE
    std::optional<std::string> manufacturer;
    std::optional<std::uint64_t> id;  // EAX in the low half, EDX in the high half
    std::optional<std::string> version;
    std::optional<std::uint8_t> voltage;  // the raw byte
    std::optional<std::uint16_t> externalClockMhz;
    std::optional<std::uint16_t> maxSpeedMhz;
    std::optional<std::uint16_t> currentSpeedMhz;
    std::uint8_t status = 0;
    std::optional<std::uint8_t> upgrade;
    std::optional<std::uint16_t> l2Handle;
    std::optional<std::uint16_t> l3Handle;
    std::optional<std::string> serialNumber;
    std::optional<std::string> assetTag;
    std::optional<std::string> partNumber;
    std::optional<std::uint16_t> coreCount;
    std::optional<std::uint16_t> coresEnabled;
    std::optional<std::uint16_t> threadCount;
    std::optional<std::uint16_t> characteristics;

    bool populated() const { return (status & 0x40) != 0; }
};
ProcessorInfo decodeProcessor(const Structure& s);

struct CacheInfo {  // type 7
    std::optional<std::uint8_t> level;
    std::optional<std::uint32_t> installedKb;
    std::optional<std::uint8_t> speedNs;
};
CacheInfo decodeCache(const Structure& s);

struct MemoryDeviceInfo {  // type 17
    std::optional<std::uint16_t> totalWidth;
    std::optional<std::uint16_t> dataWidth;
    std::optional<std::uint64_t> sizeBytes;  // no value when unknown
    bool installed = false;                  // a size other than "none"
    std::optional<std::uint8_t> formFactor;
    std::optional<std::string> deviceLocator;
    std::optional<std::string> bankLocator;
    std::optional<std::uint8_t> memoryType;
    std::optional<std::uint16_t> typeDetail;
    std::optional<std::uint32_t> speedMts;
    std::optional<std::string> manufacturer;
    std::optional<std::string> serialNumber;
    std::optional<std::string> assetTag;
    std::optional<std::string> partNumber;
    std::optional<std::uint8_t> rank;
    std::optional<std::uint32_t> configuredSpeedMts;
    std::optional<std::uint16_t> minVoltageMv;
    std::optional<std::uint16_t> maxVoltageMv;
    std::optional<std::uint16_t> configuredVoltageMv;
};
MemoryDeviceInfo decodeMemoryDevice(const Structure& s);

struct BaseBoardInfo {  // type 2
    std::optional<std::string> manufacturer;
    std::optional<std::string> product;
    std::optional<std::string> version;
    std::optional<std::string> serialNumber;
    std::optional<std::string> assetTag;
    std::optional<std::uint8_t> features;
    std::optional<std::uint8_t> boardType;
};
BaseBoardInfo decodeBaseBoard(const Structure& s);

}  // namespace tolvex::linuxprov::smbios
