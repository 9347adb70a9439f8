#include "app/frmAbout.h"

#include "tolvex/Version.h"

namespace tolvex::frmAbout {

std::string versionText() {
    return "Version: " + std::to_string(version::kMajor) + "." + std::to_string(version::kMinor) +
           "." + std::to_string(version::kRevision);
}

}  // namespace tolvex::frmAbout
