// The Linux provider is this platform's management service: Connect, declared
// by the query layer, is defined here so that the provider depends on the
// layer and never the other way round.
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
