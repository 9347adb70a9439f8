#pragma once

#include <memory>
#include <string>
#include <vector>

#include "wmi/Management.h"
#include "wmi/linux/PciNames.h"
#include "wmi/linux/Smbios.h"
#include "wmi/linux/SystemSource.h"

namespace tolvex::linuxprov {

// What a class enumeration reads the machine through.
struct ProviderContext {
    const FileTree& files;
    const SysCalls& sys;
    std::string host;  // the host name in object paths
    // The PCI devices, read once for all the classes one service answers.
    std::shared_ptr<const PciBusView> pci = std::make_shared<PciBusView>();
    // The firmware's table, likewise.
    std::shared_ptr<const smbios::TableView> smbios = std::make_shared<smbios::TableView>();
};

// The Linux provider: answers the nine classes of the window, the drive
// classes of tolvex-query and the monitors (WmiMonitorID, from the DRM
// connectors' EDIDs) from /proc, /sys, SMBIOS tables, udev's database,
// hwmon, udisks, statvfs, mounts and the ID databases, read through a root.
class LinuxService : public ManagementService {
  public:
    LinuxService(std::shared_ptr<const FileTree> files, std::shared_ptr<const SysCalls> sys);
    ObjectSetPtr instancesOf(std::string_view className, int flags) override;

    // The classes it answers, in a fixed order.
    static const std::vector<std::string>& classNames();

  private:
    std::shared_ptr<const FileTree> m_files;
    std::shared_ptr<const SysCalls> m_sys;
    std::shared_ptr<const PciBusView> m_pci = std::make_shared<PciBusView>();
    std::shared_ptr<const smbios::TableView> m_smbios = std::make_shared<smbios::TableView>();
};

// A provider over a captured machine tree (with its sidecar), or over the
// live machine when root is "/".
ServicePtr makeLinuxService(const std::string& root = "/");

// One function per class; each builds every instance of its class.
std::vector<ObjectPtr> enumerateProcessors(const ProviderContext& context);
std::vector<ObjectPtr> enumeratePhysicalMemory(const ProviderContext& context);
std::vector<ObjectPtr> enumerateBaseBoards(const ProviderContext& context);
std::vector<ObjectPtr> enumerateMotherboardDevices(const ProviderContext& context);
std::vector<ObjectPtr> enumerateNetworkAdapters(const ProviderContext& context);
std::vector<ObjectPtr> enumerateVideoControllers(const ProviderContext& context);
std::vector<ObjectPtr> enumerateSCSIControllers(const ProviderContext& context);
std::vector<ObjectPtr> enumerateLogicalDisks(const ProviderContext& context);
std::vector<ObjectPtr> enumerateOperatingSystems(const ProviderContext& context);
std::vector<ObjectPtr> enumerateDiskDrives(const ProviderContext& context);
std::vector<ObjectPtr> enumerateDiskDriveHealth(const ProviderContext& context);
std::vector<ObjectPtr> enumerateMonitors(const ProviderContext& context);

// The object path of an instance, with the class's key property.
std::string instancePath(const ProviderContext& context, std::string_view className,
                         std::string_view keyName, std::string_view keyValue);

}  // namespace tolvex::linuxprov
