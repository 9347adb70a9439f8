// The Windows management service is this platform's: Connect, declared by
// the query layer, is defined here.
#include "wmi/Management.h"
#include "wmi/windows/WindowsService.h"

namespace tolvex {

ServicePtr Connect(std::string_view moniker) {
    return windows::bindService(moniker);
}

}  // namespace tolvex
