#pragma once

#include <string>

class QWidget;

namespace tolvex::ui {
class AboutWindow;
}

namespace tolvex::frmAbout {

// "Version: " and the build's major.minor.revision.
std::string versionText();

// The About box's load handler: writes the version into lblVer.
void Form_Load(ui::AboutWindow& box);

// Loads the About box, shows it modally centred on `opener` and unloads it
// when it is closed.
void showModal(QWidget* opener);

}  // namespace tolvex::frmAbout
