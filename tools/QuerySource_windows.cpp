#include "tools/QuerySource.h"
#include "wmi/WmiNames.h"

namespace tolvex {

// Windows has the management service itself; captured trees are Linux's.
ServicePtr queryService(const std::string& root) {
    if (root != "/") {
        throw Failure("--root reads captured Linux machine trees and is not available on Windows.");
    }
    return Connect(wmi::kMoniker);
}

std::vector<std::string> queryClassNames() {
    namespace cls = wmi::cls;
    return {cls::Processor,         cls::PhysicalMemory, cls::BaseBoard,
            cls::MotherboardDevice, cls::NetworkAdapter, cls::VideoController,
            cls::SCSIController,    cls::LogicalDisk,    cls::OperatingSystem};
}

}  // namespace tolvex
