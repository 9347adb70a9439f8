// The Linux program: frmMain over the Qt front end.
#include <QApplication>
#include <QLocale>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/Browser.h"
#include "app/CommandLine.h"
#include "app/ImmediateEnd.h"
#include "app/ProgramStart.h"
#include "app/frmMain.h"
#include "ui/qt/LocaleFormat.h"
#include "ui/qt/MessageBoxes.h"
#include "ui/qt/QtWindowSystem.h"
#include "ui/qt/ScreenBuilder.h"
#include "ui/qt/Text.h"
#include "wmi/WmiNames.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tolvex"));
    QApplication::setWindowIcon(tolvex::ui::windowIcon());

    // Qt has taken its own options out of argv; what is left is ours. A
    // snapshot is read, and refused, before any window exists.
    const tolvex::ProgramChoice choice =
        tolvex::readCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!choice.error.empty()) {
        std::fprintf(stderr, "tolvex: %s\n%s\n", choice.error.c_str(), tolvex::kProgramUsage);
        return choice.status;
    }
    tolvex::ProgramStart start(choice.snapshot);
    start.readAhead([] { return tolvex::Connect(tolvex::wmi::kMoniker); });

    const auto translations = tolvex::installTranslations(QLocale::system());
    try {
        tolvex::ui::QtMessagePresenter messages;
        tolvex::ui::QtWindowSystem windows(messages);
        tolvex::ImmediateProgramEnd programEnd;
        const std::unique_ptr<tolvex::BrowserLauncher> browser = tolvex::platformBrowser();

        auto& window = windows.mainWindow();
        window.setWindowTitle(
            tolvex::ui::fromUtf8(start.title(tolvex::ui::utf8(window.windowTitle()))));

        tolvex::frmMain form(
            start.parts(windows, programEnd, *browser, tolvex::numberFormatFor(QLocale::system())));
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
