#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "wmi/StaticObject.h"
#include "wmi/WmiNames.h"
#include "wmi/linux/DisplayFacts.h"
#include "wmi/linux/LinuxService.h"
#include "wmi/linux/PciNames.h"
#include "wmi/linux/Sources.h"
#include "wmi/linux/SysText.h"

namespace tolvex::linuxprov {

namespace {

namespace prop = wmi::prop;

// The service's codes for what Linux cannot tell apart: every display
// adapter of today answers VGA (5) for its architecture and Unknown (2) for
// its memory type.
constexpr std::int64_t kArchitectureVga = 5;
constexpr std::int64_t kMemoryTypeUnknown = 2;

std::string fallbackName(const PciDevice& device, const char* kind) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s %04x:%04x", kind, device.vendor, device.device);
    return buffer;
}

}  // namespace

std::vector<ObjectPtr> enumerateVideoControllers(const ProviderContext& context) {
    PciNames names;
    std::vector<ObjectPtr> out;
    const auto uname = context.sys.uname();
    int number = 0;
    for (const auto& device : context.pci->bus(context.files).devices) {
        if (device.baseClass() != 0x03) {
            continue;
        }
        ++number;
        const auto product = names.pci().productName(device.vendor, device.device);
        const std::string name = product.value_or(fallbackName(device, "PCI display controller"));

        std::optional<std::string> driverVersion;
        if (device.driver) {
            // A module that states its version says so under /sys/module;
            // a driver without one is the kernel's own, of its release.
            driverVersion = context.files.read("/sys/module/" + *device.driver + "/version", 256);
            if (driverVersion && text::trimmed(*driverVersion).empty()) {
                driverVersion.reset();
            }
            if (!driverVersion && uname) {
                driverVersion = uname->release;
            }
        }
        const std::string dir = "/sys/bus/pci/devices/" + device.address;
        ManagementValue adapterRam;
        if (const auto vram = context.files.read(dir + "/mem_info_vram_total", 64)) {
            if (const auto bytes = text::parseUnsigned(*vram);
                bytes &&
                *bytes <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                // The true size, also above 4 GiB: the property's 32-bit
                // ceiling would show every larger card as a 4 GB one.
                adapterRam = ManagementValue::integer(static_cast<std::int64_t>(*bytes));
            }
        }
        const DisplayMode mode = currentDisplayMode(context.files, device.address);
        const auto integerOrNull = [](const std::optional<int>& value) {
            return value ? ManagementValue::integer(*value) : ManagementValue::null();
        };
        const std::string deviceId = "VideoController" + std::to_string(number);
        // The ID database names the product; the driver's module its
        // version; the display's modes come from the DRM connectors.
        const Source idDatabase = answeredSource("pci.ids");
        const Source drm = fileSource(context.files, "/sys/class/drm", "the display");
        const Source driver =
            device.driver
                ? either({fileSource(context.files, "/sys/module/" + *device.driver + "/version",
                                     "the driver's version"),
                          uname ? answeredSource("uname") : Source{}})
                : answeredSource(dir + "/driver");
        std::vector<Described> properties = {
            {prop::Name, ManagementValue::text(name)},
            {prop::DeviceID, ManagementValue::text(deviceId)},
            {prop::VideoProcessor, text::textOrNull(product), idDatabase},
            {prop::VideoArchitecture, ManagementValue::integer(kArchitectureVga)},
            {prop::ProtocolSupported, ManagementValue::null()},
            {prop::VideoMemoryType, ManagementValue::integer(kMemoryTypeUnknown)},
            {prop::AdapterDACType, ManagementValue::null()},
            {prop::AdapterRAM, adapterRam,
             fileSource(context.files, dir + "/mem_info_vram_total", "the video memory size")},
            {prop::InstalledDisplayDrivers, text::textOrNull(device.driver),
             answeredSource(dir + "/driver")},
            {prop::DriverDate, ManagementValue::null()},
            {prop::DriverVersion, text::textOrNull(driverVersion), driver},
            {prop::VideoModeDescription, text::textOrNull(mode.description), drm},
            {prop::CurrentRefreshRate, integerOrNull(mode.currentRefreshHz), drm},
            {prop::MaxRefreshRate, integerOrNull(mode.maxRefreshHz), drm},
        };
        out.push_back(describedObject(
            wmi::cls::VideoController,
            instancePath(context, wmi::cls::VideoController, prop::DeviceID, deviceId),
            std::move(properties)));
    }
    return out;
}

}  // namespace tolvex::linuxprov
