// The program's start-up on this machine, offscreen and without a user: Qt,
// the three screens, the load step, the whole detection sequence with every
// panel filled, then the unload step and an orderly shutdown. It is run under
// valgrind's leak checker, so that what the start-up allocates is all given
// back. Message boxes are counted instead of shown, since nobody would press
// their OK button.
#include <QApplication>
#include <QLocale>
#include <cstdio>
#include <memory>

#include "app/Browser.h"
#include "app/frmMain.h"
#include "net/Sockets.h"
#include "ui/qt/LocaleFormat.h"
#include "ui/qt/MessageBoxes.h"
#include "ui/qt/QtWindowSystem.h"
#include "wmi/Management.h"

namespace {

class CountingMessages : public tolvex::ui::MessagePresenter {
  public:
    void show(const std::string&, const std::string&, int) override { ++count; }
    int count = 0;
};

class FailingEnd : public tolvex::ProgramEnd {
  public:
    [[noreturn]] void endProgram() override {
        std::fprintf(stderr, "the sockets layer ended the program\n");
        std::exit(2);
    }
};

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    CountingMessages messages;
    FailingEnd end;
    const std::unique_ptr<tolvex::BrowserLauncher> browser = tolvex::platformBrowser();
    {
        tolvex::ui::QtWindowSystem windows(messages);
        tolvex::frmMain form({
            [](std::string_view moniker) { return tolvex::Connect(moniker); },
            windows,
            tolvex::platformSockets(),
            end,
            *browser,
            tolvex::numberFormatFor(QLocale::system()),
        });
        form.Form_Load();
        form.show();
        form.Form_Activate();
        if (!form.state().DetectionDone) {
            std::fprintf(stderr, "the start-up sequence did not finish\n");
            return 1;
        }
        form.Form_Unload();
    }
    std::printf("sequence finished, %d message box(es)\n", messages.count);
    return 0;
}
