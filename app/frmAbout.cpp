#include "app/frmAbout.h"

#include <QLabel>

#include "tolvex/Version.h"
#include "ui/Windows.h"

namespace tolvex::frmAbout {

std::string versionText() {
    return "Version: " + std::to_string(version::kMajor) + "." + std::to_string(version::kMinor) +
           "." + std::to_string(version::kRevision);
}

void Form_Load(ui::AboutWindow& box) {
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("lblVer"))) {
        label->setText(QString::fromStdString(versionText()));
    }
}

void showModal(QWidget* opener) {
    ui::AboutWindow box(opener);
    Form_Load(box);
    box.exec();
}

}  // namespace tolvex::frmAbout
