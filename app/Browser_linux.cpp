#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include "app/Browser.h"

namespace tolvex {

namespace {

// The desktop's default browser through xdg-open, started directly with the
// address as its one argument: no shell sees the address.
class DesktopBrowser : public BrowserLauncher {
  public:
    bool openAddress(const std::string& address) override {
        const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        if (opener.isEmpty()) {
            return false;
        }
        return QProcess::startDetached(opener, {QString::fromStdString(address)});
    }
};

}  // namespace

std::unique_ptr<BrowserLauncher> platformBrowser() {
    return std::make_unique<DesktopBrowser>();
}

}  // namespace tolvex
