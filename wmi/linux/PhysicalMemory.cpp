#include <cctype>
#include <cstdlib>

#include "wmi/StaticObject.h"
#include "wmi/WmiNames.h"
#include "wmi/linux/LinuxService.h"
#include "wmi/linux/MemoryFacts.h"
#include "wmi/linux/ProviderValues.h"
#include "wmi/linux/Smbios.h"
#include "wmi/linux/Sources.h"
#include "wmi/linux/UdevMemory.h"

namespace tolvex::linuxprov {

int memoryTypeCode(std::uint8_t smbiosType) {
    // SMBIOS 0x01..0x14 and 0x18..0x1A have their own codes in the class;
    // the rest (LPDDR, HBM, DDR5 and later) have none.
    switch (smbiosType) {
        case 0x01:
            return 1;  // Other
        case 0x02:
            return 0;  // Unknown
        case 0x03:
            return 2;  // DRAM
        case 0x04:
            return 6;  // EDRAM
        case 0x05:
            return 7;  // VRAM
        case 0x06:
            return 8;  // SRAM
        case 0x07:
            return 9;  // RAM
        case 0x08:
            return 10;  // ROM
        case 0x09:
            return 11;  // Flash
        case 0x0A:
            return 12;  // EEPROM
        case 0x0B:
            return 13;  // FEPROM
        case 0x0C:
            return 14;  // EPROM
        case 0x0D:
            return 15;  // CDRAM
        case 0x0E:
            return 16;  // 3DRAM
        case 0x0F:
            return 17;  // SDRAM
        case 0x10:
            return 18;  // SGRAM
        case 0x11:
            return 19;  // RDRAM
        case 0x12:
            return 20;  // DDR
        case 0x13:
            return 21;  // DDR2
        case 0x14:
            return 22;  // DDR2 FB-DIMM
        case 0x18:
            return 24;  // DDR3
        case 0x19:
            return 25;  // FBD2
        case 0x1A:
            return 26;  // DDR4
        default:
            return 0;
    }
}

int formFactorCode(std::uint8_t smbiosFormFactor) {
    switch (smbiosFormFactor) {
        case 0x01:
            return 1;  // Other
        case 0x02:
            return 0;  // Unknown
        case 0x03:
            return 7;  // SIMM
        case 0x04:
            return 2;  // SIP
        case 0x05:
            return 1;  // Chip: no code of its own
        case 0x06:
            return 3;  // DIP
        case 0x07:
            return 4;  // ZIP
        case 0x08:
            return 6;  // Proprietary card
        case 0x09:
            return 8;  // DIMM
        case 0x0A:
            return 9;  // TSOP
        case 0x0B:
            return 1;  // Row of chips
        case 0x0C:
            return 11;  // RIMM
        case 0x0D:
            return 12;  // SODIMM
        case 0x0E:
            return 13;  // SRIMM
        case 0x0F:
            return 8;  // FB-DIMM: a DIMM
        case 0x10:
            return 1;  // Die
        default:
            return 0;
    }
}

std::optional<int> edacMemoryTypeCode(std::string_view edacType) {
    // The kernel writes "<buffering>-<generation>" or the generation alone.
    const auto dash = edacType.rfind('-');
    std::string_view generation =
        dash == std::string_view::npos ? edacType : edacType.substr(dash + 1);
    while (!generation.empty() && (generation.back() == '\n' || generation.back() == ' ')) {
        generation.remove_suffix(1);
    }
    struct Row {
        std::string_view name;
        int code;
    };
    static const Row kRows[] = {{"SDR", 17},   {"DDR", 20},     {"DDR2", 21}, {"RDDR", 20},
                                {"RDDR2", 21}, {"FB_DDR2", 22}, {"DDR3", 24}, {"RDDR3", 24},
                                {"DDR4", 26},  {"RDDR4", 26},   {"RMBS", 19}, {"EDO", 5}};
    for (const auto& row : kRows) {
        if (row.name == generation) {
            return row.code;
        }
    }
    return std::nullopt;
}

namespace {

using values::countOrNull;
using values::integerOrNull;
using values::textOrNull;
using Device = smbios::MemoryDeviceInfo;

// What a memory controller's driver (EDAC) says of one module.
struct EdacModule {
    std::uint64_t capacityBytes = 0;
    std::optional<std::string> label;     // dimm_label
    std::optional<std::string> location;  // dimm_location
    std::optional<int> memoryType;        // the class's code
};

// One property of the class: its name and how each source gives it. The
// firmware's memory device (decoded from the table or by udev) and EDAC
// are the sources; a source without a reader gives Null. Adding a property
// is adding its row.
struct MemoryProperty {
    const char* name;
    ManagementValue (*fromDevice)(const Device&);
    ManagementValue (*fromEdac)(const EdacModule&);
};

constexpr auto kPhysicalMemoryText = [](const auto&) {
    return ManagementValue::text("Physical Memory");
};
constexpr auto kClassName = [](const auto&) {
    return ManagementValue::text(wmi::cls::PhysicalMemory);
};

namespace p = wmi::prop;

// In the class's property order. Tag is the instance's number, set when it
// is built.
const MemoryProperty kMemoryProperties[] = {
    {"Attributes", [](const Device& d) { return integerOrNull(d.rank); }, nullptr},
    {p::BankLabel, [](const Device& d) { return textOrNull(d.bankLocator); },
     [](const EdacModule& e) { return textOrNull(e.location); }},
    {p::Capacity, [](const Device& d) { return countOrNull(d.sizeBytes); },
     [](const EdacModule& e) { return countOrNull(std::optional(e.capacityBytes)); }},
    {"Caption", kPhysicalMemoryText, kPhysicalMemoryText},
    {"ConfiguredClockSpeed", [](const Device& d) { return integerOrNull(d.configuredSpeedMts); },
     nullptr},
    {"ConfiguredVoltage", [](const Device& d) { return integerOrNull(d.configuredVoltageMv); },
     nullptr},
    {"CreationClassName", kClassName, kClassName},
    {p::DataWidth, [](const Device& d) { return integerOrNull(d.dataWidth); }, nullptr},
    {"Description", kPhysicalMemoryText, kPhysicalMemoryText},
    {p::DeviceLocator, [](const Device& d) { return textOrNull(d.deviceLocator); },
     [](const EdacModule& e) { return textOrNull(e.label); }},
    {p::FormFactor,
     [](const Device& d) {
         return d.formFactor ? ManagementValue::integer(formFactorCode(*d.formFactor))
                             : ManagementValue::null();
     },
     nullptr},
    {"HotSwappable", nullptr, nullptr},
    {"InstallDate", nullptr, nullptr},
    {"InterleaveDataDepth", nullptr, nullptr},
    {"InterleavePosition", nullptr, nullptr},
    {p::Manufacturer, [](const Device& d) { return textOrNull(d.manufacturer); }, nullptr},
    {"MaxVoltage", [](const Device& d) { return integerOrNull(d.maxVoltageMv); }, nullptr},
    {p::MemoryType,
     [](const Device& d) {
         return d.memoryType ? ManagementValue::integer(memoryTypeCode(*d.memoryType))
                             : ManagementValue::null();
     },
     [](const EdacModule& e) { return integerOrNull(e.memoryType); }},
    {"MinVoltage", [](const Device& d) { return integerOrNull(d.minVoltageMv); }, nullptr},
    {p::Model, nullptr, nullptr},
    {p::Name, kPhysicalMemoryText, kPhysicalMemoryText},
    {"OtherIdentifyingInfo", nullptr, nullptr},
    {p::PartNumber, [](const Device& d) { return textOrNull(d.partNumber); }, nullptr},
    {"PositionInRow", nullptr, nullptr},
    {"PoweredOn", nullptr, nullptr},
    {"Removable", nullptr, nullptr},
    {"Replaceable", nullptr, nullptr},
    {p::SerialNumber, [](const Device& d) { return textOrNull(d.serialNumber); }, nullptr},
    {"SKU", nullptr, nullptr},
    {"SMBIOSMemoryType", [](const Device& d) { return integerOrNull(d.memoryType); }, nullptr},
    {p::Speed, [](const Device& d) { return integerOrNull(d.speedMts); }, nullptr},
    {p::Status, nullptr, nullptr},
    {p::Tag, nullptr, nullptr},
    {p::TotalWidth, [](const Device& d) { return integerOrNull(d.totalWidth); }, nullptr},
    {p::TypeDetail, [](const Device& d) { return integerOrNull(d.typeDetail); }, nullptr},
    {p::Version, nullptr, nullptr},
};

// One module's values, in the order of kMemoryProperties.
using ModuleValues = std::vector<ManagementValue>;

template <typename Module>
ModuleValues describe(const Module& module,
                      ManagementValue (*MemoryProperty::*reader)(const Module&)) {
    ModuleValues values;
    values.reserve(std::size(kMemoryProperties));
    for (const auto& property : kMemoryProperties) {
        const auto read = property.*reader;
        values.push_back(read ? read(module) : ManagementValue::null());
    }
    return values;
}

std::vector<ModuleValues> modulesFromSmbios(const smbios::Table& table) {
    std::vector<ModuleValues> modules;
    for (const auto* s : table.ofType(17)) {
        const auto d = smbios::decodeMemoryDevice(*s);
        if (d.installed) {
            modules.push_back(describe(d, &MemoryProperty::fromDevice));
        }
    }
    return modules;
}

const char* const kEdacPath = "/sys/devices/system/edac/mc";

// The same structures as udev decoded them at boot, from its database,
// which every user may read.
std::vector<ModuleValues> modulesFromUdev(const FileTree& files) {
    std::vector<ModuleValues> modules;
    const auto database = udev::readDmiDatabase(files);
    if (!database) {
        return modules;
    }
    for (const auto& device : udev::parseMemoryDevices(*database)) {
        const auto d = udev::memoryDeviceFromFields(device.fields);
        if (d.installed) {
            modules.push_back(describe(d, &MemoryProperty::fromDevice));
        }
    }
    return modules;
}

std::optional<std::string> readLine(const FileTree& files, const std::string& path) {
    const auto content = files.read(path, 4096);
    if (!content) {
        return std::nullopt;
    }
    std::string_view text = *content;
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    return smbios::printable(text);
}

// The EDAC view: /sys/devices/system/edac/mc/mcN/dimmM (or rankM) with the
// module's size in MiB, its label, its location and its memory type. It is
// readable by every user where a memory controller driver is loaded.
std::vector<ModuleValues> modulesFromEdac(const FileTree& files) {
    std::vector<ModuleValues> modules;
    const std::string base = kEdacPath;
    for (const auto& controller : files.list(base)) {
        if (controller.compare(0, 2, "mc") != 0) {
            continue;
        }
        const std::string controllerDir = base + "/" + controller;
        for (const auto& dimm : files.list(controllerDir)) {
            if (dimm.compare(0, 4, "dimm") != 0 && dimm.compare(0, 4, "rank") != 0) {
                continue;
            }
            const std::string dir = controllerDir + "/" + dimm + "/";
            const auto size = readLine(files, dir + "size");
            if (!size) {
                continue;
            }
            char* end = nullptr;
            const unsigned long long mib = std::strtoull(size->c_str(), &end, 10);
            if (end == size->c_str() || mib == 0 || mib > (1ull << 40)) {
                continue;
            }
            EdacModule m;
            m.capacityBytes = static_cast<std::uint64_t>(mib) << 20;
            m.label = readLine(files, dir + "dimm_label");
            m.location = readLine(files, dir + "dimm_location");
            if (const auto type = readLine(files, dir + "dimm_mem_type")) {
                m.memoryType = edacMemoryTypeCode(*type);
            }
            modules.push_back(describe(m, &MemoryProperty::fromEdac));
        }
    }
    return modules;
}

// `found` is where the module was found, with the sources tried before it:
// a value it lacks is Null for the reason it gives. Properties no source
// gives are things Linux does not have.
ObjectPtr buildInstance(const ProviderContext& context, std::size_t index,
                        const ModuleValues& values, const Source& found) {
    const std::string tag = "Physical Memory " + std::to_string(index);
    std::vector<Described> props;
    props.reserve(values.size());
    for (std::size_t k = 0; k < values.size(); ++k) {
        const auto& row = kMemoryProperties[k];
        const std::string name = row.name;
        props.push_back({name, name == p::Tag ? ManagementValue::text(tag) : values[k],
                         row.fromDevice || row.fromEdac ? found : Source{}});
    }
    return describedObject(wmi::cls::PhysicalMemory,
                           instancePath(context, wmi::cls::PhysicalMemory, p::Tag, tag),
                           std::move(props));
}

}  // namespace

std::vector<ObjectPtr> enumeratePhysicalMemory(const ProviderContext& context) {
    // The firmware's table where it is readable (root only on most
    // systems), else udev's decode of it, else the memory controller's view.
    const smbios::Table& table = context.smbios->table(context.files);
    Source found = table.source;
    std::vector<ModuleValues> modules = modulesFromSmbios(table);
    if (modules.empty()) {
        modules = modulesFromUdev(context.files);
        found =
            either({found, fileSource(context.files, udev::kDmiDatabase, "udev's memory records",
                                      "Start systemd-udevd, which records the memory "
                                      "modules at boot")});
    }
    if (modules.empty()) {
        modules = modulesFromEdac(context.files);
        found = either({found, fileSource(context.files, kEdacPath, "the memory controller")});
    }
    std::vector<ObjectPtr> out;
    for (std::size_t k = 0; k < modules.size(); ++k) {
        out.push_back(buildInstance(context, k, modules[k], found));
    }
    return out;
}

}  // namespace tolvex::linuxprov
