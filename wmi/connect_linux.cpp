#include "wmi/Management.h"
#include "wmi/WmiNames.h"
#include "wmi/linux/LinuxService.h"

namespace tolvex {

ServicePtr Connect(std::string_view moniker) {
    if (!sameName(moniker, wmi::kMoniker)) {
        throw Failure("Invalid syntax: the moniker " + std::string(moniker) +
                      " names no management service.");
    }
    return linuxprov::makeLinuxService("/");
}

}  // namespace tolvex
