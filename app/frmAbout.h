#pragma once

#include <string>

namespace tolvex::frmAbout {

// What the About box's load handler writes into lblVer: "Version: " and the
// build's major.minor.revision.
std::string versionText();

}  // namespace tolvex::frmAbout
