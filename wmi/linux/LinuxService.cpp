#include "wmi/linux/LinuxService.h"

#include "wmi/ObjectPath.h"
#include "wmi/WmiNames.h"

namespace tolvex::linuxprov {

namespace {

using Enumerate = std::vector<ObjectPtr> (*)(const ProviderContext&);

struct ClassEntry {
    const char* name;
    Enumerate enumerate;
};

const ClassEntry kClasses[] = {
    {wmi::cls::Processor, enumerateProcessors},
    {wmi::cls::PhysicalMemory, enumeratePhysicalMemory},
    {wmi::cls::BaseBoard, enumerateBaseBoards},
    {wmi::cls::MotherboardDevice, enumerateMotherboardDevices},
    {wmi::cls::NetworkAdapter, enumerateNetworkAdapters},
    {wmi::cls::VideoController, enumerateVideoControllers},
    {wmi::cls::SCSIController, enumerateSCSIControllers},
    {wmi::cls::LogicalDisk, enumerateLogicalDisks},
    {wmi::cls::OperatingSystem, enumerateOperatingSystems},
    {wmi::cls::DiskDrive, enumerateDiskDrives},
    {wmi::cls::DiskDriveHealth, enumerateDiskDriveHealth},
    {wmi::cls::MonitorID, enumerateMonitors},
};

}  // namespace

LinuxService::LinuxService(std::shared_ptr<const FileTree> files,
                           std::shared_ptr<const SysCalls> sys)
    : m_files(std::move(files)), m_sys(std::move(sys)) {}

const std::vector<std::string>& LinuxService::classNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        for (const auto& entry : kClasses) {
            out.emplace_back(entry.name);
        }
        return out;
    }();
    return names;
}

ObjectSetPtr LinuxService::instancesOf(std::string_view className, int /*flags*/) {
    for (const auto& entry : kClasses) {
        if (sameName(entry.name, className)) {
            const ProviderContext context{*m_files, *m_sys, m_sys->hostName().value_or("localhost"),
                                          m_pci, m_smbios};
            return std::make_shared<VectorObjectSet>(entry.enumerate(context));
        }
    }
    throw Failure("Invalid class: the management service has no class named " +
                  std::string(className) + ".");
}

std::string instancePath(const ProviderContext& context, std::string_view className,
                         std::string_view keyName, std::string_view keyValue) {
    ObjectPath path;
    path.host = context.host;
    path.className = std::string(className);
    path.keyName = std::string(keyName);
    path.keyValue = std::string(keyValue);
    return path.text();
}

ServicePtr makeLinuxService(const std::string& root) {
    auto files = std::make_shared<const FileTree>(root);
    const bool live = files->root().empty();
    return std::make_shared<LinuxService>(files, live ? liveSysCalls() : sidecarSysCalls(root));
}

}  // namespace tolvex::linuxprov
