#include "tools/QuerySource.h"
#include "wmi/linux/LinuxService.h"

namespace tolvex {

ServicePtr queryService(const std::string& root) {
    return linuxprov::makeLinuxService(root);
}

std::vector<std::string> queryClassNames() {
    return linuxprov::LinuxService::classNames();
}

}  // namespace tolvex
