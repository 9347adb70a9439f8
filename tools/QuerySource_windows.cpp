#include "tools/QuerySource.h"
#include "wmi/WmiNames.h"

namespace tolvex {

// Windows has the management service itself; captured trees are Linux's.
std::string unusableRoot(const std::string& root) {
    if (root != "/") {
        return "captured machine trees are read on Linux only";
    }
    return {};
}

ServicePtr queryService(const std::string& /*root*/) {
    return Connect(wmi::kMoniker);
}

std::vector<std::string> queryClassNames() {
    namespace cls = wmi::cls;
    return {cls::Processor,         cls::PhysicalMemory,  cls::BaseBoard,
            cls::MotherboardDevice, cls::NetworkAdapter,  cls::VideoController,
            cls::SCSIController,    cls::LogicalDisk,     cls::OperatingSystem,
            cls::DiskDrive,         cls::DiskDriveHealth, cls::MonitorID};
}

}  // namespace tolvex
