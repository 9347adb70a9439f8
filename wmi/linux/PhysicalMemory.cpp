#include <cctype>
#include <cstdlib>

#include "wmi/StaticObject.h"
#include "wmi/WmiNames.h"
#include "wmi/linux/LinuxService.h"
#include "wmi/linux/MemoryFacts.h"
#include "wmi/linux/ProviderValues.h"
#include "wmi/linux/Smbios.h"
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

// One module, from whichever source described it.
struct Module {
    std::optional<std::uint64_t> capacityBytes;
    std::optional<std::string> bankLabel;
    std::optional<std::string> deviceLocator;
    std::optional<std::string> manufacturer;
    std::optional<std::string> serialNumber;
    std::optional<std::string> partNumber;
    std::optional<int> formFactor;
    std::optional<int> memoryType;
    std::optional<int> smbiosMemoryType;
    std::optional<int> typeDetail;
    std::optional<std::uint32_t> speedMts;
    std::optional<std::uint32_t> configuredSpeedMts;
    std::optional<int> dataWidth;
    std::optional<int> totalWidth;
    std::optional<int> rank;
    std::optional<int> minVoltageMv;
    std::optional<int> maxVoltageMv;
    std::optional<int> configuredVoltageMv;
};

// A module as the firmware's memory device structure describes it, decoded
// from the table itself or by udev.
Module moduleFromDevice(const smbios::MemoryDeviceInfo& d) {
    Module m;
    m.capacityBytes = d.sizeBytes;
    m.bankLabel = d.bankLocator;
    m.deviceLocator = d.deviceLocator;
    m.manufacturer = d.manufacturer;
    m.serialNumber = d.serialNumber;
    m.partNumber = d.partNumber;
    if (d.formFactor) {
        m.formFactor = formFactorCode(*d.formFactor);
    }
    if (d.memoryType) {
        m.memoryType = memoryTypeCode(*d.memoryType);
        m.smbiosMemoryType = *d.memoryType;
    }
    if (d.typeDetail) {
        m.typeDetail = *d.typeDetail;
    }
    m.speedMts = d.speedMts;
    m.configuredSpeedMts = d.configuredSpeedMts;
    if (d.dataWidth) {
        m.dataWidth = *d.dataWidth;
    }
    if (d.totalWidth) {
        m.totalWidth = *d.totalWidth;
    }
    if (d.rank) {
        m.rank = *d.rank;
    }
    if (d.minVoltageMv) {
        m.minVoltageMv = *d.minVoltageMv;
    }
    if (d.maxVoltageMv) {
        m.maxVoltageMv = *d.maxVoltageMv;
    }
    if (d.configuredVoltageMv) {
        m.configuredVoltageMv = *d.configuredVoltageMv;
    }
    return m;
}

std::vector<Module> modulesFromSmbios(const smbios::Table& table) {
    std::vector<Module> modules;
    for (const auto* s : table.ofType(17)) {
        const auto d = smbios::decodeMemoryDevice(*s);
        if (d.installed) {
            modules.push_back(moduleFromDevice(d));
        }
    }
    return modules;
}

// The same structures as udev decoded them at boot, from its database,
// which every user may read.
std::vector<Module> modulesFromUdev(const FileTree& files) {
    std::vector<Module> modules;
    const auto database = udev::readDmiDatabase(files);
    if (!database) {
        return modules;
    }
    for (const auto& device : udev::parseMemoryDevices(*database)) {
        const auto d = udev::memoryDeviceFromFields(device.fields);
        if (d.installed) {
            modules.push_back(moduleFromDevice(d));
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
std::vector<Module> modulesFromEdac(const FileTree& files) {
    std::vector<Module> modules;
    const std::string base = "/sys/devices/system/edac/mc";
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
            Module m;
            m.capacityBytes = static_cast<std::uint64_t>(mib) << 20;
            m.deviceLocator = readLine(files, dir + "dimm_label");
            m.bankLabel = readLine(files, dir + "dimm_location");
            if (const auto type = readLine(files, dir + "dimm_mem_type")) {
                m.memoryType = edacMemoryTypeCode(*type);
            }
            modules.push_back(std::move(m));
        }
    }
    return modules;
}

ObjectPtr buildInstance(const ProviderContext& context, std::size_t index, const Module& m) {
    namespace p = wmi::prop;
    const std::string tag = "Physical Memory " + std::to_string(index);
    const auto i = [](const auto& v) { return integerOrNull(v); };
    const auto physicalMemory = ManagementValue::text("Physical Memory");
    std::vector<StaticObject::Property> props = {
        {"Attributes", i(m.rank)},
        {p::BankLabel, textOrNull(m.bankLabel)},
        {p::Capacity, countOrNull(m.capacityBytes)},
        {"Caption", physicalMemory},
        {"ConfiguredClockSpeed", i(m.configuredSpeedMts)},
        {"ConfiguredVoltage", i(m.configuredVoltageMv)},
        {"CreationClassName", ManagementValue::text(wmi::cls::PhysicalMemory)},
        {p::DataWidth, i(m.dataWidth)},
        {"Description", physicalMemory},
        {p::DeviceLocator, textOrNull(m.deviceLocator)},
        {p::FormFactor, i(m.formFactor)},
        {"HotSwappable", ManagementValue::null()},
        {"InstallDate", ManagementValue::null()},
        {"InterleaveDataDepth", ManagementValue::null()},
        {"InterleavePosition", ManagementValue::null()},
        {p::Manufacturer, textOrNull(m.manufacturer)},
        {"MaxVoltage", i(m.maxVoltageMv)},
        {p::MemoryType, i(m.memoryType)},
        {"MinVoltage", i(m.minVoltageMv)},
        {p::Model, ManagementValue::null()},
        {p::Name, physicalMemory},
        {"OtherIdentifyingInfo", ManagementValue::null()},
        {p::PartNumber, textOrNull(m.partNumber)},
        {"PositionInRow", ManagementValue::null()},
        {"PoweredOn", ManagementValue::null()},
        {"Removable", ManagementValue::null()},
        {"Replaceable", ManagementValue::null()},
        {p::SerialNumber, textOrNull(m.serialNumber)},
        {"SKU", ManagementValue::null()},
        {"SMBIOSMemoryType", i(m.smbiosMemoryType)},
        {p::Speed, i(m.speedMts)},
        {p::Status, ManagementValue::null()},
        {p::Tag, ManagementValue::text(tag)},
        {p::TotalWidth, i(m.totalWidth)},
        {p::TypeDetail, i(m.typeDetail)},
        {p::Version, ManagementValue::null()},
    };
    return std::make_shared<StaticObject>(
        wmi::cls::PhysicalMemory, instancePath(context, wmi::cls::PhysicalMemory, p::Tag, tag),
        std::move(props));
}

}  // namespace

std::vector<ObjectPtr> enumeratePhysicalMemory(const ProviderContext& context) {
    // The firmware's table where it is readable (root only on most
    // systems), else udev's decode of it, else the memory controller's view.
    std::vector<Module> modules = modulesFromSmbios(smbios::readTable(context.files));
    if (modules.empty()) {
        modules = modulesFromUdev(context.files);
    }
    if (modules.empty()) {
        modules = modulesFromEdac(context.files);
    }
    std::vector<ObjectPtr> out;
    for (std::size_t k = 0; k < modules.size(); ++k) {
        out.push_back(buildInstance(context, k, modules[k]));
    }
    return out;
}

}  // namespace tolvex::linuxprov
