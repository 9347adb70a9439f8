#pragma once

// Helpers of the provider tests: captured machines from ../shared/fixtures,
// temporary machine roots, and a reader of dmidecode's text decodes (the
// independent oracle the SMBIOS tests compare with).

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "wmi/Management.h"
#include "wmi/linux/LinuxService.h"
#include "wmi/linux/Smbios.h"

namespace tolvex {
inline void PrintTo(const ManagementValue& value, std::ostream* os) {
    *os << (value.kind() == ManagementValue::Kind::Text ? "text \"" + value.asText() + "\""
                                                        : debugText(value));
}
inline void PrintTo(const NullReason& reason, std::ostream* os) {
    *os << (reason.given() ? reasonText(reason) : "no reason")
        << (reason.remedy.empty() ? "" : " (" + reason.remedy + ")");
}
}  // namespace tolvex

namespace tolvex::testing {

inline std::filesystem::path fixturesDir() {
    return TOLVEX_FIXTURES_DIR;
}

#define TOLVEX_REQUIRE_FIXTURES()                                                                  \
    do {                                                                                           \
        if (!std::filesystem::is_directory(::tolvex::testing::fixturesDir())) {                    \
            GTEST_SKIP() << "captured machines not found at " << ::tolvex::testing::fixturesDir(); \
        }                                                                                          \
    } while (false)

inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// A machine root in a fresh temporary directory, removed at the end.
class TempRoot {
  public:
    TempRoot() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tolvex-root-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot make a temporary directory");
        }
        m_path = pattern;
    }
    ~TempRoot() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    void write(const std::string& path, const std::string& bytes) const {
        const auto full = m_path / path.substr(path.front() == '/' ? 1 : 0);
        std::filesystem::create_directories(full.parent_path());
        std::ofstream(full, std::ios::binary) << bytes;
    }
    const std::filesystem::path& path() const { return m_path; }

  private:
    std::filesystem::path m_path;
};

// The entry point and structure table of a captured SMBIOS file, whatever
// its layout: a bare table (go-smbios), dmidecode's dump (entry point at 0,
// table at the address the entry point names) or the Windows RSMB blob
// (8-byte header with the version, then the table).
struct SmbiosImage {
    std::string entryPoint;  // empty when the capture has none
    std::string table;
};

inline SmbiosImage loadSmbiosImage(const std::filesystem::path& file) {
    const std::string bytes = readBytes(file);
    SmbiosImage image;
    if (file.extension() == ".dat") {
        const int major = static_cast<unsigned char>(bytes.at(1));
        const int minor = static_cast<unsigned char>(bytes.at(2));
        std::uint32_t length = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            length |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(4 + k)))
                      << (8 * k);
        }
        image.table = bytes.substr(8, length);
        // A 64-bit entry point naming the version, as the kernel would show.
        std::string entry(0x18, '\0');
        entry.replace(0, 5, "_SM3_");
        entry[6] = 0x18;
        entry[7] = static_cast<char>(major);
        entry[8] = static_cast<char>(minor);
        image.entryPoint = entry;
        return image;
    }
    if (const auto entry = linuxprov::smbios::parseEntryPoint(bytes)) {
        image.entryPoint = bytes.substr(0, bytes.compare(0, 5, "_SM3_") == 0 ? 0x18 : 0x1F);
        image.table = bytes.substr(static_cast<std::size_t>(entry->tableAddress));
        return image;
    }
    image.table = bytes;
    return image;
}

inline void placeSmbios(const TempRoot& root, const SmbiosImage& image) {
    root.write("/sys/firmware/dmi/tables/DMI", image.table);
    if (!image.entryPoint.empty()) {
        root.write("/sys/firmware/dmi/tables/smbios_entry_point", image.entryPoint);
    }
}

// One record of dmidecode's text: "Handle 0x0400, DMI type 4, 42 bytes",
// its title line, then "\tKey: Value" lines (values kept as printed).
struct DmiRecord {
    int type = -1;
    std::map<std::string, std::string> fields;
    std::optional<std::string> get(const std::string& key) const {
        const auto it = fields.find(key);
        return it == fields.end() ? std::nullopt : std::optional(it->second);
    }
};

inline std::vector<DmiRecord> parseDmidecode(const std::string& text) {
    std::vector<DmiRecord> records;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("Handle 0x", 0) == 0) {
            DmiRecord record;
            const auto at = line.find("DMI type ");
            if (at != std::string::npos) {
                record.type = std::stoi(line.substr(at + 9));
            }
            records.push_back(record);
            continue;
        }
        if (records.empty() || line.size() < 2 || line[0] != '\t' || line[1] == '\t') {
            continue;
        }
        const auto colon = line.find(": ");
        if (colon == std::string::npos) {
            continue;
        }
        records.back().fields.emplace(line.substr(1, colon - 1), line.substr(colon + 2));
    }
    return records;
}

inline std::vector<ObjectPtr> instances(ManagementService& service, const char* className) {
    std::vector<ObjectPtr> out;
    const auto set = service.instancesOf(className, kReturnImmediately);
    auto walk = set->enumerate();
    while (auto object = walk->next()) {
        out.push_back(object);
    }
    return out;
}

}  // namespace tolvex::testing
