#include <algorithm>
#include <map>

#include "wmi/StaticObject.h"
#include "wmi/WmiNames.h"
#include "wmi/linux/LinuxService.h"
#include "wmi/linux/NetworkFacts.h"
#include "wmi/linux/PciNames.h"
#include "wmi/linux/Sources.h"
#include "wmi/linux/SysText.h"

namespace tolvex::linuxprov {

namespace {

namespace prop = wmi::prop;

struct Interface {
    std::string name;
    std::optional<std::uint64_t> index;
    std::optional<std::uint64_t> type;
    std::optional<std::string> address;
    HardwareIdentity hardware;
};

}  // namespace

std::vector<ObjectPtr> enumerateNetworkAdapters(const ProviderContext& context) {
    PciNames names;
    std::vector<Interface> interfaces;
    for (const auto& name : context.files.list("/sys/class/net")) {
        const std::string dir = "/sys/class/net/" + name;
        Interface entry;
        entry.name = text::cleanText(name);
        const auto number = [&](const char* file) -> std::optional<std::uint64_t> {
            const auto content = context.files.read(dir + "/" + file, 64);
            return content ? text::parseUnsigned(*content) : std::nullopt;
        };
        entry.index = number("ifindex");
        entry.type = number("type");
        entry.address = context.files.read(dir + "/address", 256);
        entry.hardware = interfaceHardware(context.files, dir, names);
        interfaces.push_back(std::move(entry));
    }
    // The service lists adapters by their index; interfaces whose index
    // cannot be read come last, by name.
    std::stable_sort(interfaces.begin(), interfaces.end(), [](const auto& a, const auto& b) {
        if (a.index && b.index) {
            return *a.index < *b.index;
        }
        return a.index.has_value() && !b.index.has_value();
    });

    std::vector<ObjectPtr> out;
    std::map<std::string, int> seenNames;
    for (const auto& entry : interfaces) {
        // Hardware is named by its product; where two adapters share a
        // product name the later ones get " #2", " #3" as the service does.
        std::string name = entry.hardware.product.value_or(entry.name);
        if (const int seen = ++seenNames[name]; seen > 1) {
            name += " #" + std::to_string(seen);
        }
        const std::string deviceId = entry.index ? std::to_string(*entry.index) : entry.name;
        const auto adapterType = entry.type ? adapterTypeName(*entry.type) : std::nullopt;
        const auto mac = entry.address ? macAddress(*entry.address) : std::nullopt;
        const std::string dir = "/sys/class/net/" + entry.name;
        const auto file = [&](const char* leaf) {
            return fileSource(context.files, dir + "/" + leaf, "the network adapters");
        };
        std::vector<Described> properties = {
            {prop::Name, ManagementValue::text(name)},
            {prop::DeviceID, ManagementValue::text(deviceId)},
            {prop::AdapterType, text::textOrNull(adapterType), file("type")},
            // The maker of the hardware behind the interface, if any.
            {prop::Manufacturer, text::textOrNull(entry.hardware.vendor),
             answeredSource(dir + "/device")},
            {prop::MACAddress, text::textOrNull(mac), file("address")},
            {prop::NetConnectionID, ManagementValue::text(entry.name)},
        };
        out.push_back(describedObject(
            wmi::cls::NetworkAdapter,
            instancePath(context, wmi::cls::NetworkAdapter, prop::DeviceID, deviceId),
            std::move(properties)));
    }
    return out;
}

}  // namespace tolvex::linuxprov
