#include "fuzz/FuzzTargets.h"

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string_view>

#include "tools/QueryFormats.h"
#include "wmi/Conversions.h"
#include "wmi/Edid.h"
#include "wmi/Failure.h"
#include "wmi/MonitorIdentity.h"
#include "wmi/ObjectPath.h"
#include "wmi/WmiNames.h"
#include "wmi/linux/CpuInfo.h"
#include "wmi/linux/DiskDrives.h"
#include "wmi/linux/DisplayFacts.h"
#include "wmi/linux/Mounts.h"
#include "wmi/linux/OsFacts.h"
#include "wmi/linux/PciNames.h"
#include "wmi/linux/Smbios.h"
#include "wmi/linux/SysText.h"
#include "wmi/linux/UdevMemory.h"
#include "wmi/linux/UdevRecord.h"
#include "wmi/linux/ZoneOffset.h"
#include "wmi/snapshot/Snapshot.h"

namespace tolvex::fuzz {

namespace {

std::string_view asText(const std::uint8_t* data, std::size_t size) {
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
        std::filesystem::create_directories(std::filesystem::path(m_root + path).parent_path());
        std::ofstream out(m_root + path, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    void link(const std::string& path, const std::string& target) const {
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(m_root + path).parent_path());
        std::filesystem::create_directory_symlink(target, m_root + path, ignored);
    }
    const std::string& root() const { return m_root; }

  private:
    std::string m_root;
};

}  // namespace

int smbiosTable(const std::uint8_t* data, std::size_t size) {
    using namespace linuxprov::smbios;
    const std::string_view input = asText(data, size);
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
    const std::string_view input = asText(data, size);
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
    const std::string_view input = asText(data, size);
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
    const auto release = linuxprov::parseOsRelease(std::string(asText(data, size)));
    if (const auto caption = linuxprov::osCaption(release)) {
        require(caption->find('\n') == std::string::npos);
    }
    return 0;
}

int objectPath(const std::uint8_t* data, std::size_t size) {
    const auto parsed = ObjectPath::parse(asText(data, size));
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
        numberValue(ManagementValue::text(std::string(asText(data + 9, size - 9))));
    } catch (const Failure&) {
    }
    return 0;
}

namespace {

// Days since 1970-01-01 of a date in years 1 to 9999, counted plainly (whole
// years, their leap days, the months before) rather than by the eras the
// conversion uses, so that each checks the other.
std::int64_t daysSinceEpoch(std::int64_t year, std::int64_t month, std::int64_t day) {
    static constexpr std::int64_t kBefore[] = {0,   31,  59,  90,  120, 151,
                                               181, 212, 243, 273, 304, 334};
    const auto leapDaysBefore = [](std::int64_t y) {
        return (y - 1) / 4 - (y - 1) / 100 + (y - 1) / 400;
    };
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return (year - 1970) * 365 + leapDaysBefore(year) - leapDaysBefore(1970) + kBefore[month - 1] +
           (leap && month > 2 ? 1 : 0) + day - 1;
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
    require(daysSinceEpoch(year, month, day) <
            daysSinceEpoch(month == 12 ? year + 1 : year, month == 12 ? 1 : month + 1, 1));
    require(daysSinceEpoch(year, month, day) * 86400 + hour * 3600 + minute * 60 + second == local);
    return 0;
}

int edidTimings(const std::uint8_t* data, std::size_t size) {
    static const ScratchRoot scratch;
    const std::string input(asText(data, size));
    static constexpr unsigned char kHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    const auto timings = tolvex::edid::parseTimings(input);
    // A block of 128 bytes or more that opens with the fixed header, and
    // sizes that fit the twelve bits the block gives them.
    require(timings.has_value() ==
            (size >= 128 && std::memcmp(data, kHeader, sizeof kHeader) == 0));
    if (timings) {
        require(timings->preferredWidth >= 0 && timings->preferredWidth < 4096);
        require(timings->preferredHeight >= 0 && timings->preferredHeight < 4096);
        require(!timings->maxRefreshHz ||
                (*timings->maxRefreshHz >= 1 && *timings->maxRefreshHz <= 510));
        // The preferred timing read back from its bytes: the rate never
        // exceeds the pixel clock over the active area alone.
        if (timings->preferredRefreshHz) {
            const double clock = (data[54] | (data[55] << 8)) * 10000.0;
            const double active = double(timings->preferredWidth) * timings->preferredHeight;
            require(*timings->preferredRefreshHz >= 0);
            require(active == 0 || *timings->preferredRefreshHz <= std::lround(clock / active));
        }
    }
    // The same bytes as a connector's mode list and its monitor's EDID.
    static const bool connected = [] {
        scratch.write("/sys/class/drm/card0-DP-1/status", "connected\n");
        scratch.link("/sys/class/drm/card0/device", "../../../devices/pci0000:00/0000:01:00.0");
        return true;
    }();
    require(connected);
    scratch.write("/sys/class/drm/card0-DP-1/modes", input);
    scratch.write("/sys/class/drm/card0-DP-1/edid", input);
    const linuxprov::FileTree files(scratch.root());
    const auto mode = linuxprov::currentDisplayMode(files, "0000:01:00.0");
    if (mode.description) {
        require(linuxprov::text::isCleanText(*mode.description));
    }
    return 0;
}

int udevMemory(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = asText(data, size);
    const auto devices = linuxprov::udev::parseMemoryDevices(input);
    // Read back: each field stands in a whole line of the input, and the
    // devices come once each, in order of their number.
    const std::string_view complete = input.substr(0, input.rfind('\n') + 1);
    unsigned previous = 0;
    for (std::size_t d = 0; d < devices.size(); ++d) {
        require(d == 0 || devices[d].index > previous);
        previous = devices[d].index;
        for (const auto& [field, value] : devices[d].fields) {
            const std::string tail = "_" + field + "=" + value + "\n";
            require(!field.empty() && complete.find(tail) != std::string_view::npos);
        }
        const auto memory = linuxprov::udev::memoryDeviceFromFields(devices[d].fields);
        for (const auto* text : {&memory.deviceLocator, &memory.bankLocator, &memory.manufacturer,
                                 &memory.serialNumber, &memory.assetTag, &memory.partNumber}) {
            require(!*text || linuxprov::text::isCleanText(**text));
        }
    }
    return 0;
}

int diskRecords(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = asText(data, size);
    // udev's record of a drive: each property stands in a whole line of the
    // input, and its key is no empty text.
    const std::string_view complete = input.substr(0, input.rfind('\n') + 1);
    for (const auto& [key, value] : linuxprov::udev::parseProperties(input)) {
        const std::string line = "E:" + key + "=" + value + "\n";
        require(!key.empty() && key.find('=') == std::string::npos &&
                complete.find(line) != std::string_view::npos);
    }
    // The database file of a device number: udev's folder, one name, no
    // way out of it.
    if (const auto path = linuxprov::udev::blockDatabasePath(input)) {
        require(path->rfind("/run/udev/data/b", 0) == 0 &&
                path->find('/', 16) == std::string::npos && path->find("..") == std::string::npos);
    }
    // A sensor's reading: a finite temperature no colder than absolute zero.
    if (const auto celsius = linuxprov::hwmon::parseMillidegrees(input)) {
        require(std::isfinite(*celsius) && *celsius >= -273.15);
        (void)linuxprov::hwmon::isPlaceholderLimit(*celsius);
    }
    return 0;
}

int zoneFile(const std::uint8_t* data, std::size_t size) {
    if (size < 9) {
        return 0;
    }
    std::int64_t moment = 0;
    std::memcpy(&moment, data + 1, sizeof moment);
    // The first byte narrows the moment to this era for half of the runs,
    // where the transitions of real zones lie.
    if (data[0] & 1) {
        moment %= std::int64_t{1} << 33;
    }
    const std::string_view rest = asText(data + 9, size - 9);
    if (data[0] & 2) {
        // A POSIX rule: hours up to 167 with minutes and seconds.
        if (const auto offset = linuxprov::zone::ruleOffsetMinutes(rest, moment)) {
            require(*offset > -168 * 60 && *offset < 168 * 60);
        }
        return 0;
    }
    const auto offset = linuxprov::zone::offsetMinutes(rest, moment);
    require(!offset || (rest.size() >= 44 && rest.substr(0, 4) == "TZif"));
    if (offset) {
        // Whole minutes of a 32-bit count of seconds.
        require(*offset >= INT32_MIN / 60 && *offset <= INT32_MAX / 60);
    }
    return 0;
}

namespace {

// The names an ID database's lines give an ID, read line by line: for each
// ID, every name its lines give (no value for a line that names nothing).
using NamesById = std::map<std::uint16_t, std::set<std::optional<std::string>>>;

void readIdLines(std::string_view file, NamesById& vendors, NamesById& products) {
    for (std::string_view line : linuxprov::text::splitLines(file)) {
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const bool product = !line.empty() && line[0] == '\t';
        const std::string_view entry = product ? line.substr(1) : line;
        if (entry.size() < 5 || entry[4] != ' ' ||
            entry.substr(0, 4).find_first_not_of("0123456789abcdefABCDEF") !=
                std::string_view::npos) {
            continue;
        }
        const auto id =
            static_cast<std::uint16_t>(std::stoul(std::string(entry.substr(0, 4)), nullptr, 16));
        const std::string name = linuxprov::text::trimmed(entry.substr(4));
        std::optional<std::string> named;
        if (entry.size() >= 6 && !name.empty()) {
            named = linuxprov::text::cleanText(name);
        }
        (product ? products : vendors)[id].insert(named);
    }
}

}  // namespace

int pciIds(const std::uint8_t* data, std::size_t size) {
    static const ScratchRoot scratch;
    const std::string_view input = asText(data, size);
    scratch.write("/pci.ids", input);
    linuxprov::IdDatabase database({scratch.root() + "/pci.ids"});
    NamesById vendors, products;
    readIdLines(input, vendors, products);
    // Every vendor and product the lines name, and one that may be missing.
    std::set<std::uint16_t> asked = {size >= 2 ? static_cast<std::uint16_t>(data[0] << 8 | data[1])
                                               : std::uint16_t{0x8086}};
    for (const auto& entry : vendors) {
        if (asked.size() < 32) {
            asked.insert(entry.first);
        }
    }
    for (const std::uint16_t vendor : asked) {
        const auto name = database.vendorName(vendor);
        const auto lines = vendors.find(vendor);
        if (lines == vendors.end()) {
            require(!name);
            continue;
        }
        // The name of one of its lines; none only where a line names none
        // (or for vendor 0, which is not looked for line by line).
        require(lines->second.count(name) == 1 || (!name && vendor == 0));
        int productsAsked = 0;
        for (const auto& [product, productNames] : products) {
            if (++productsAsked > 8) {
                break;
            }
            if (const auto productName = database.productName(vendor, product)) {
                require(name.has_value() && productNames.count(productName) == 1);
            }
        }
    }
    return 0;
}

namespace {

// The snapshot as tolvex-query --format json would write it again.
std::string rewritten(const snapshot::Snapshot& read) {
    std::vector<query::ClassAnswer> answers;
    for (const auto& held : read.classes) {
        answers.push_back({held.name, {held.instances.begin(), held.instances.end()}});
    }
    return query::formatJson(answers, read.host ? &*read.host : nullptr,
                             read.origin ? &*read.origin : nullptr);
}

}  // namespace

int snapshotFile(const std::uint8_t* data, std::size_t size) {
    snapshot::Snapshot read;
    try {
        read = snapshot::parse(asText(data, size));
    } catch (const snapshot::SnapshotError&) {
        return 0;  // refused with words: what a bad snapshot must get
    }
    // Every class, instance and property reads through the service as the
    // window reads them.
    const auto shared = std::make_shared<const snapshot::Snapshot>(read);
    const ServicePtr service = snapshot::makeService(shared);
    for (const auto& held : read.classes) {
        const auto set = service->instancesOf(held.name, 16);
        require(set->count() == static_cast<std::int32_t>(held.instances.size()));
        auto walk = set->enumerate();
        while (const auto object = walk->next()) {
            for (const auto& name : object->propertyNames()) {
                (void)object->property(name);
            }
            require(set->item(object->path(), 0) != nullptr);
        }
    }
    (void)snapshot::hostOf(read);
    // Written again, it reads back to the same and writes the same bytes.
    const std::string once = rewritten(read);
    const std::string twice = rewritten(snapshot::parse(once));
    require(once == twice);
    return 0;
}

int edidIdentity(const std::uint8_t* data, std::size_t size) {
    const std::string input(asText(data, size));
    const tolvex::edid::Identity identity = tolvex::edid::decodeIdentity(input);
    static constexpr unsigned char kHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    const bool header = size >= 8 && std::memcmp(data, kHeader, sizeof kHeader) == 0;
    require(identity.header == header && identity.length == size);
    const auto printable = [](const std::string& text) {
        for (const char c : text) {
            if (c < 0x20 || c > 0x7E) {
                return false;
            }
        }
        return true;
    };
    // Each field has a value or says why not, never both; texts are ASCII
    // one can print; numbers stay within what their bytes can hold.
    const auto consistent = [&](const auto& field) {
        return field.value.has_value() == (field.missing == tolvex::edid::Missing::None) &&
               (header || field.missing == tolvex::edid::Missing::Unreadable);
    };
    require(consistent(identity.manufacturer) && consistent(identity.productCode) &&
            consistent(identity.serial) && consistent(identity.name) && consistent(identity.week) &&
            consistent(identity.year) && consistent(identity.maxHorizontalCm) &&
            consistent(identity.maxVerticalCm));
    if (identity.manufacturer.value) {
        require(identity.manufacturer.value->size() == 3 &&
                printable(*identity.manufacturer.value));
    }
    for (const auto* text : {&identity.serial, &identity.name}) {
        require(!text->value || (!text->value->empty() && printable(*text->value)));
    }
    require(!identity.productCode.value ||
            (*identity.productCode.value >= 0 && *identity.productCode.value <= 0xFFFF));
    require(!identity.week.value || (*identity.week.value >= 1 && *identity.week.value <= 254));
    require(!identity.year.value || (*identity.year.value >= 1990 && *identity.year.value <= 2245));
    require(!identity.modelYear || !identity.week.value);
    for (const auto* cm : {&identity.maxHorizontalCm, &identity.maxVerticalCm}) {
        require(!cm->value || (*cm->value >= 1 && *cm->value <= 255));
    }
    // A whole block with its header gives every field but the two texts
    // (and a week, which a model year or week 0 leaves out) or says it is
    // not there; only bytes that are missing make a field unreadable.
    if (header && size >= tolvex::edid::kBlockSize) {
        for (const auto missing :
             {identity.manufacturer.missing, identity.productCode.missing, identity.year.missing,
              identity.serial.missing, identity.name.missing, identity.maxHorizontalCm.missing}) {
            require(missing != tolvex::edid::Missing::Unreadable);
        }
    }
    // As an instance: every Null property says why.
    MonitorRead monitor;
    monitor.host = "H";
    monitor.instanceName = "card0-DP-1";
    monitor.active = true;
    monitor.edid = input;
    monitor.edidSource = "/sys/class/drm/card0-DP-1/edid";
    const ObjectPtr object = monitorObject(monitor);
    for (const std::string& name : object->propertyNames()) {
        require(!object->property(name).isNull() || object->nullReason(name).given());
    }
    return 0;
}

const std::vector<NamedTarget>& targets() {
    static const std::vector<NamedTarget> all = {
        {"smbios", smbiosTable},
        {"cpuinfo", cpuInfo},
        {"mounts", mountTable},
        {"os-release", osRelease},
        {"object-path", objectPath},
        {"number-masks", numberMasks},
        {"datetime", managementDateTime},
        {"edid", edidTimings},
        {"edid-identity", edidIdentity},
        {"udev-memory", udevMemory},
        {"disk-records", diskRecords},
        {"zone-file", zoneFile},
        {"pci-ids", pciIds},
        {"snapshot", snapshotFile},
    };
    return all;
}

}  // namespace tolvex::fuzz
