#include "app/Browser.h"

namespace tolvex {

std::string browserCommandLine(std::string_view drive, std::string_view address) {
    if (drive.empty()) {
        return {};
    }
    return std::string(drive) + ":\\program files\\internet explorer\\iexplore.exe " +
           std::string(address);
}

}  // namespace tolvex
