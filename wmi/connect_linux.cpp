#include "wmi/Management.h"
#include "wmi/WmiNames.h"

namespace tolvex {

ServicePtr Connect(std::string_view moniker) {
    if (!sameName(moniker, wmi::kMoniker)) {
        throw Failure("Invalid syntax: the moniker " + std::string(moniker) +
                      " names no management service.");
    }
    throw Failure("The management service is not available: this build has no Linux provider.");
}

}  // namespace tolvex
