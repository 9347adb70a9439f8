#include <cstdio>

#include "wmi/StaticObject.h"
#include "wmi/WmiNames.h"
#include "wmi/linux/LinuxService.h"
#include "wmi/linux/PciNames.h"
#include "wmi/linux/Sources.h"
#include "wmi/linux/SysText.h"

namespace tolvex::linuxprov {

namespace {

namespace prop = wmi::prop;

constexpr std::uint16_t kVirtioVendor = 0x1af4;

bool isScsiAdapterClass(const PciDevice& device) {
    if (device.baseClass() != 0x01) {
        return false;
    }
    // SCSI, RAID, SAS and NVM Express controllers are what the service lists
    // as SCSI adapters; IDE and SATA (AHCI) controllers it lists elsewhere.
    // Virtio block and SCSI devices are its virtual SCSI adapters whatever
    // subclass they announce.
    switch (device.subClass()) {
        case 0x00:
        case 0x04:
        case 0x07:
        case 0x08:
            return true;
        default:
            return device.vendor == kVirtioVendor;
    }
}

bool isStandaloneScsiHost(const std::string& hostLink) {
    // Hosts under a PCI function belong to that controller (or to an IDE or
    // SATA controller the service does not count); hosts of USB storage and
    // of ATA ports are no adapters of their own.
    for (const char* part : {"/pci", "/usb", "/ata"}) {
        if (hostLink.find(part) != std::string::npos) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<ObjectPtr> enumerateSCSIControllers(const ProviderContext& context) {
    PciNames names;
    std::vector<ObjectPtr> out;
    // `device` is where the adapter's maker, driver and revision are read:
    // its PCI function, or the SCSI host of an adapter without one.
    const auto add = [&](const std::string& deviceId, ManagementValue name,
                         ManagementValue manufacturer, ManagementValue driver,
                         ManagementValue hardwareVersion, const Source& device) {
        std::vector<Described> properties = {
            {prop::Name, std::move(name)},
            {prop::DeviceID, ManagementValue::text(deviceId)},
            {prop::Manufacturer, std::move(manufacturer), device},
            {prop::DriverName, std::move(driver), device},
            {prop::HardwareVersion, std::move(hardwareVersion), device},
            {prop::MaxDataWidth, ManagementValue::null()},
            {prop::MaxTransferRate, ManagementValue::null()},
            {prop::MaxNumberControlled, ManagementValue::null()},
            {prop::ProtectionManagement, ManagementValue::null()},
            {prop::ProtocolSupported, ManagementValue::null()},
        };
        out.push_back(describedObject(
            wmi::cls::SCSIController,
            instancePath(context, wmi::cls::SCSIController, prop::DeviceID, deviceId),
            std::move(properties)));
    };

    for (const auto& device : context.pci->bus(context.files).devices) {
        if (!isScsiAdapterClass(device)) {
            continue;
        }
        const auto product = names.pci().productName(device.vendor, device.device);
        char fallback[64];
        std::snprintf(fallback, sizeof fallback, "PCI storage controller %04x:%04x", device.vendor,
                      device.device);
        ManagementValue revision;
        if (device.revision) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "%02X", *device.revision);
            revision = ManagementValue::text(hex);
        }
        add(device.address, ManagementValue::text(product.value_or(fallback)),
            text::textOrNull(names.pci().vendorName(device.vendor)),
            text::textOrNull(device.driver), revision,
            answeredSource("/sys/bus/pci/devices/" + device.address));
    }

    for (const auto& host : context.files.list("/sys/class/scsi_host")) {
        const auto link = context.files.readLink("/sys/class/scsi_host/" + host);
        if (!link || !isStandaloneScsiHost(*link)) {
            continue;
        }
        // A host without hardware of its own (iSCSI, Hyper-V, virtio over
        // MMIO) is known by its driver's name.
        const auto driver = text::textOrNull(
            context.files.read("/sys/class/scsi_host/" + host + "/proc_name", 256));
        add(text::cleanText(host), driver.isNull() ? ManagementValue::text(host) : driver,
            ManagementValue::null(), driver, ManagementValue::null(),
            fileSource(context.files, "/sys/class/scsi_host/" + host + "/proc_name",
                       "the SCSI adapters"));
    }
    return out;
}

}  // namespace tolvex::linuxprov
