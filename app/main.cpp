#include <QApplication>
#include <QLocale>

#include "app/Browser.h"
#include "app/ImmediateEnd.h"
#include "app/LocaleFormat.h"
#include "app/frmMain.h"
#include "net/Sockets.h"
#include "ui/MessageBoxes.h"
#include "ui/ScreenBuilder.h"
#include "wmi/Management.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tolvex"));
    QApplication::setWindowIcon(tolvex::ui::windowIcon());

    tolvex::ui::QtMessagePresenter messages;
    tolvex::ImmediateProgramEnd programEnd;
    const std::unique_ptr<tolvex::BrowserLauncher> browser = tolvex::platformBrowser();

    tolvex::frmMain form({
        [](std::string_view moniker) { return tolvex::Connect(moniker); },
        tolvex::platformSockets(),
        programEnd,
        messages,
        *browser,
        tolvex::numberFormatFor(QLocale::system()),
    });
    form.Form_Load();
    form.show();
    return QApplication::exec();
}
