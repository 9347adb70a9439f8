#include <cstdlib>

#include "wmi/StaticObject.h"
#include "wmi/WmiNames.h"
#include "wmi/linux/BusTypes.h"
#include "wmi/linux/LinuxService.h"
#include "wmi/linux/ProviderValues.h"
#include "wmi/linux/Sources.h"

namespace tolvex::linuxprov {

BusTypes busTypesFromPciClasses(const std::vector<std::uint32_t>& classCodes, bool pciPresent) {
    BusTypes buses;
    if (!pciPresent && classCodes.empty()) {
        return buses;
    }
    buses.primary = "PCI";
    constexpr std::uint32_t kIsaBridge = 0x0601;
    constexpr std::uint32_t kEisaBridge = 0x0602;
    bool eisa = false;
    for (const std::uint32_t code : classCodes) {
        const std::uint32_t classAndSubclass = code >> 8;
        if (classAndSubclass == kIsaBridge) {
            buses.secondary = "ISA";
            return buses;
        }
        eisa = eisa || classAndSubclass == kEisaBridge;
    }
    if (eisa) {
        buses.secondary = "EISA";
    }
    return buses;
}

bool pciBusPresent(const FileTree& files, const PciBus& bus) {
    if (bus.listed > 0) {
        return true;
    }
    const auto proc = files.read("/proc/bus/pci/devices", 1u << 20);
    return proc && proc->find_first_not_of(" \t\r\n") != std::string::npos;
}

// The one motherboard device: its bus types from what the PCI bus shows.
// The class has no property for the board's revision other than
// RevisionNumber, which Linux does not know.
std::vector<ObjectPtr> enumerateMotherboardDevices(const ProviderContext& context) {
    const PciBus& bus = context.pci->bus(context.files);
    const BusTypes buses =
        busTypesFromPciClasses(bus.classCodes, pciBusPresent(context.files, bus));

    namespace p = wmi::prop;
    const std::string deviceId = "Motherboard";
    const auto motherboard = ManagementValue::text(deviceId);
    const auto null = ManagementValue::null();
    // The bus types come from the PCI devices, else the kernel's PCI list.
    const Source pci = either({fileSource(context.files, "/sys/bus/pci/devices", "the PCI bus"),
                               fileSource(context.files, "/proc/bus/pci/devices", "the PCI bus")});
    std::vector<Described> props = {
        {p::Availability, null},
        {"Caption", motherboard},
        {"ConfigManagerErrorCode", null},
        {"ConfigManagerUserConfig", null},
        {"CreationClassName", ManagementValue::text(wmi::cls::MotherboardDevice)},
        {"Description", motherboard},
        {p::DeviceID, motherboard},
        {"ErrorCleared", null},
        {"ErrorDescription", null},
        {"InstallDate", null},
        {"LastErrorCode", null},
        {p::Name, motherboard},
        {"PNPDeviceID", null},
        {"PowerManagementSupported", null},
        {p::PrimaryBusType, values::textOrNull(buses.primary), pci},
        {"RevisionNumber", null},
        {p::SecondaryBusType, values::textOrNull(buses.secondary), pci},
        {p::Status, null},
        {"StatusInfo", null},
        {"SystemCreationClassName", ManagementValue::text("Win32_ComputerSystem")},
        {"SystemName", ManagementValue::text(context.host)},
    };
    return {
        describedObject(wmi::cls::MotherboardDevice,
                        instancePath(context, wmi::cls::MotherboardDevice, p::DeviceID, deviceId),
                        std::move(props))};
}

}  // namespace tolvex::linuxprov
