#include "fuzz/FuzzTargets.h"

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "wmi/Conversions.h"
#include "wmi/Failure.h"
#include "wmi/ObjectPath.h"
#include "wmi/linux/CpuInfo.h"
#include "wmi/linux/Mounts.h"
#include "wmi/linux/OsFacts.h"
#include "wmi/linux/Smbios.h"
#include "wmi/linux/SysText.h"

namespace tolvex::fuzz {

namespace {

std::string_view bytes(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

void require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// A scratch machine root holding one file, reused across runs.
class ScratchRoot {
  public:
    ScratchRoot() {
        char pattern[] = "/tmp/tolvex-fuzz-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        require(made != nullptr);
        m_root = made;
        std::filesystem::create_directories(m_root + "/proc/self");
    }
    ~ScratchRoot() {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    void write(const std::string& path, std::string_view content) const {
        std::ofstream out(m_root + path, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    const std::string& root() const { return m_root; }

  private:
    std::string m_root;
};

}  // namespace

int smbiosTable(const std::uint8_t* data, std::size_t size) {
    using namespace linuxprov::smbios;
    const std::string_view input = bytes(data, size);
    // The first byte chooses between a bare table and an entry point plus
    // table, so both readers are exercised.
    std::optional<Version> version;
    std::string_view table = input;
    if (!input.empty() && (input[0] & 1)) {
        if (const auto entry = parseEntryPoint(input.substr(1))) {
            version = entry->version;
        }
        table = input.substr(std::min<std::size_t>(input.size(), 32));
    }
    const Table parsed = parseTable(table, version);
    std::size_t formatted = 0;
    for (const auto& structure : parsed.structures) {
        formatted += structure.formatted.size();
        for (std::size_t offset = 0; offset < structure.formatted.size() + 2; ++offset) {
            if (const auto text = structure.stringAt(offset)) {
                require(linuxprov::text::isCleanText(*text));
            }
        }
        switch (structure.type) {
            case 2:
                decodeBaseBoard(structure);
                break;
            case 4:
                decodeProcessor(structure);
                break;
            case 7:
                decodeCache(structure);
                break;
            case 17:
                decodeMemoryDevice(structure);
                break;
            default:
                break;
        }
    }
    require(formatted <= table.size());
    return 0;
}

int cpuInfo(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = bytes(data, size);
    const auto info = linuxprov::cpu::parseCpuInfo(input);
    for (const auto& cpu : info.cpus) {
        info.field(cpu, "model name");
    }
    const auto list = linuxprov::cpu::parseCpuList(input);
    for (const int cpu : list) {
        require(cpu >= 0);
    }
    linuxprov::cpu::parseCacheSizeKb(input);
    linuxprov::cpu::parseLeadingNumber(input);
    return 0;
}

int mountTable(const std::uint8_t* data, std::size_t size) {
    static const ScratchRoot scratch;
    const std::string_view input = bytes(data, size);
    // Half of the runs read the input as mountinfo, half as /proc/mounts.
    const bool asMountInfo = !input.empty() && (input[0] & 1);
    scratch.write("/proc/self/mountinfo", asMountInfo ? input : std::string_view());
    if (!asMountInfo) {
        std::filesystem::remove(scratch.root() + "/proc/self/mountinfo");
    }
    scratch.write("/proc/mounts", input);
    const linuxprov::FileTree files(scratch.root());
    for (const auto& entry : linuxprov::readMountTable(files)) {
        require(!entry.target.empty());
    }
    return 0;
}

int osRelease(const std::uint8_t* data, std::size_t size) {
    const auto release = linuxprov::parseOsRelease(std::string(bytes(data, size)));
    if (const auto caption = linuxprov::osCaption(release)) {
        require(caption->find('\n') == std::string::npos);
    }
    return 0;
}

int objectPath(const std::uint8_t* data, std::size_t size) {
    const auto parsed = ObjectPath::parse(bytes(data, size));
    if (parsed) {
        // Whatever parses writes back to a path that parses to the same parts.
        const auto again = ObjectPath::parse(parsed->text());
        require(again.has_value());
        require(again->host == parsed->host && again->className == parsed->className &&
                again->keyName == parsed->keyName && again->keyValue == parsed->keyValue);
    }
    return 0;
}

int numberMasks(const std::uint8_t* data, std::size_t size) {
    if (size < 9) {
        return 0;
    }
    double value = 0;
    std::memcpy(&value, data + 1, sizeof value);
    static const char* const masks[] = {"###,###", "##,##", "0.00", "0.0"};
    const NumberFormat formats[] = {NumberFormat::point(), NumberFormat::comma()};
    const auto& format = formats[data[0] >> 7];
    const char* mask = masks[data[0] & 3];
    try {
        const std::string text = formatMask(value, mask, format);
        require(text.size() < 420);
        for (const char c : text) {
            require((c >= '0' && c <= '9') || c == '-' || c == ',' || c == '.');
        }
        realText(value, format);
    } catch (const Failure&) {
        require(!std::isfinite(value));
    }
    // The rest of the input, read as a number in text form.
    try {
        numberValue(ManagementValue::text(std::string(bytes(data + 9, size - 9))));
    } catch (const Failure&) {
    }
    return 0;
}

namespace {

// Days since 1970-01-01 of a civil date (Howard Hinnant's days_from_civil),
// written apart from the conversion's own inverse so that each checks the
// other.
std::int64_t daysFromCivil(std::int64_t year, std::int64_t month, std::int64_t day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::int64_t digits(const std::string& text, std::size_t at, std::size_t count) {
    std::int64_t value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        require(text[i] >= '0' && text[i] <= '9');
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

}  // namespace

int managementDateTime(const std::uint8_t* data, std::size_t size) {
    if (size < 12) {
        return 0;
    }
    std::int64_t seconds = 0;
    std::int32_t offset = 0;
    std::memcpy(&seconds, data, sizeof seconds);
    std::memcpy(&offset, data + 8, sizeof offset);
    // The first byte after the numbers narrows them to the neighbourhood of
    // the form's limits, where the findings were; otherwise they are taken as
    // they come, any moment and any offset.
    if (size > 12 && (data[12] & 1)) {
        constexpr std::int64_t kYear1 = -62135596800LL;
        constexpr std::int64_t kYear10000 = 253402300800LL;
        const std::int64_t edge = (data[12] & 2) ? kYear1 : kYear10000;
        seconds = edge + seconds % (2 * 86400);
        offset = offset % 1100;
    }
    const auto text = linuxprov::managementDateTime(seconds, offset);
    // What the function promises: Null, or exactly the moment in the form
    // yyyymmddHHMMSS.000000+UUU, with a year from 1 to 9999.
    constexpr std::int64_t kFirst = -62135596800LL;  // 0001-01-01 00:00:00
    constexpr std::int64_t kEnd = 253402300800LL;    // 10000-01-01 00:00:00
    const bool nearRange =
        offset >= -999 && offset <= 999 && seconds > kFirst - 86400 && seconds < kEnd + 86400;
    const std::int64_t local = nearRange ? seconds + std::int64_t{offset} * 60 : 0;
    const bool expressible = nearRange && local >= kFirst && local < kEnd;
    require(text.has_value() == expressible);
    if (!text) {
        return 0;
    }
    require(text->size() == 25);
    require(text->compare(14, 7, ".000000") == 0);
    require((*text)[21] == (offset < 0 ? '-' : '+'));
    require(digits(*text, 22, 3) == (offset < 0 ? -offset : offset));
    const std::int64_t year = digits(*text, 0, 4);
    const std::int64_t month = digits(*text, 4, 2);
    const std::int64_t day = digits(*text, 6, 2);
    const std::int64_t hour = digits(*text, 8, 2);
    const std::int64_t minute = digits(*text, 10, 2);
    const std::int64_t second = digits(*text, 12, 2);
    require(year >= 1 && month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour < 24 &&
            minute < 60 && second < 60);
    require(daysFromCivil(year, month, day) <
            daysFromCivil(month == 12 ? year + 1 : year, month == 12 ? 1 : month + 1, 1));
    require(daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second == local);
    return 0;
}

const std::vector<NamedTarget>& targets() {
    static const std::vector<NamedTarget> all = {
        {"smbios", smbiosTable},          {"cpuinfo", cpuInfo},
        {"mounts", mountTable},           {"os-release", osRelease},
        {"object-path", objectPath},      {"number-masks", numberMasks},
        {"datetime", managementDateTime},
    };
    return all;
}

}  // namespace tolvex::fuzz
