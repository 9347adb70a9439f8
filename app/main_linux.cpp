// The Linux program: frmMain over the Qt front end.
#include <QApplication>
#include <QLocale>
#include <exception>

#include "app/Browser.h"
#include "app/ImmediateEnd.h"
#include "app/frmMain.h"
#include "net/Sockets.h"
#include "ui/qt/LocaleFormat.h"
#include "ui/qt/MessageBoxes.h"
#include "ui/qt/QtWindowSystem.h"
#include "ui/qt/ScreenBuilder.h"
#include "wmi/Management.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tolvex"));
    QApplication::setWindowIcon(tolvex::ui::windowIcon());

    const auto translations = tolvex::installTranslations(QLocale::system());
    try {
        tolvex::ui::QtMessagePresenter messages;
        tolvex::ui::QtWindowSystem windows(messages);
        tolvex::ImmediateProgramEnd programEnd;
        const std::unique_ptr<tolvex::BrowserLauncher> browser = tolvex::platformBrowser();

        tolvex::frmMain form({
            [](std::string_view moniker) { return tolvex::Connect(moniker); },
            windows,
            tolvex::platformSockets(),
            programEnd,
            *browser,
            tolvex::numberFormatFor(QLocale::system()),
        });
        form.Form_Load();
        form.show();
        return windows.runEventLoop();
    } catch (const std::exception& error) {
        // Nothing the handlers let escape should end the program silently.
        tolvex::ui::makeMessageBox(error.what(), "", 16)->exec();
        return 1;
    } catch (...) {
        tolvex::ui::makeMessageBox("An unexpected error occurred.", "", 16)->exec();
        return 1;
    }
}
