#include "wmi/linux/LinuxService.h"

namespace tolvex::linuxprov {

std::vector<ObjectPtr> enumerateVideoControllers(const ProviderContext&) {
    throw Failure("Not supported: this class is not yet answered on Linux.");
}

}  // namespace tolvex::linuxprov
