// tolvex-startup-bench: the program's start as a whole process, measured
// from exec to the moment the start-up sequence has filled every panel.
//
//   tolvex-startup-bench [--root DIR]
//
// The process starts itself again (fork, then exec of this same file), so
// the time counts everything the program's own start pays: loading the
// shared libraries, Qt's start, building the three windows, connecting to
// the management service and the nine detection steps. The child runs the
// program's code (frmMain, its screens and Form_Load / Form_Activate) on
// Qt's offscreen platform and stops as soon as the sequence has ended. One
// line goes to standard output:
//
//   exec_to_filled_ms=41.2 peak_rss_kb=31000 initial_text_fields=12 message_boxes=0
//
// initial_text_fields counts the value fields still showing "...": those
// whose values the machine does not know (Null) or whose section has no
// instance, as on a virtual machine without memory modules or display.
//
// --root reads a captured machine tree instead of this machine.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QLocale>
#include <QTimer>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "app/Browser.h"
#include "app/ImmediateEnd.h"
#include "app/ProgramStart.h"
#include "app/frmMain.h"
#include "net/Sockets.h"
#include "ui/ScreenDefinitions.h"
#include "ui/qt/LocaleFormat.h"
#include "ui/qt/MessageBoxes.h"
#include "ui/qt/QtWindowSystem.h"
#include "wmi/Management.h"
#include "wmi/WmiNames.h"
#include "wmi/linux/LinuxService.h"

namespace {

constexpr int kUsageStatus = 64;
constexpr int kTimeoutMs = 20000;
constexpr const char* kChildFlag = "--child-started-ns";

std::int64_t monotonicNs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// A message box would wait for a click that never comes; the benchmark
// counts the boxes instead and reports them, since a start that shows one
// is no normal start.
class CountingPresenter : public tolvex::ui::MessagePresenter {
  public:
    void show(const std::string& text, const std::string& title, int) override {
        ++shown;
        std::fprintf(stderr, "message box: %s: %s\n", title.c_str(), text.c_str());
    }
    int shown = 0;
};

// The value fields of frmMain still showing their initial text.
int initialTextFields(tolvex::frmMain& form) {
    int count = 0;
    for (const auto* element : tolvex::ui::valueFields(tolvex::ui::frmMainDefinition())) {
        if (form.screen().text(element->name) == tolvex::ui::kInitialValue) {
            ++count;
        }
    }
    return count;
}

int runChild(int argc, char** argv, std::int64_t startedNs, const std::string& root) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tolvex"));

    // The program's own start: the machine (or the tree) read ahead while the
    // windows are built.
    tolvex::ProgramStart start(nullptr);
    start.readAhead([root] {
        return root == "/" ? tolvex::Connect(tolvex::wmi::kMoniker)
                           : tolvex::linuxprov::makeLinuxService(root);
    });
    CountingPresenter messages;
    tolvex::ImmediateProgramEnd programEnd;
    const std::unique_ptr<tolvex::BrowserLauncher> browser = tolvex::platformBrowser();
    tolvex::ui::QtWindowSystem windows(messages);
    tolvex::frmMain form(
        start.parts(windows, programEnd, *browser, tolvex::numberFormatFor(QLocale::system())));

    int status = 1;
    // Connected after frmMain's own handler, so it runs right after
    // Form_Activate has returned.
    QObject::connect(&windows.mainWindow(), &tolvex::ui::MainWindow::activated, &application, [&] {
        if (!form.state().DetectionDone || status == 0) {
            return;
        }
        const std::int64_t filledNs = monotonicNs();
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        const int initialText = initialTextFields(form);
        std::printf(
            "exec_to_filled_ms=%.1f peak_rss_kb=%ld initial_text_fields=%d message_boxes=%d\n",
            static_cast<double>(filledNs - startedNs) / 1e6, usage.ru_maxrss, initialText,
            messages.shown);
        std::fflush(stdout);
        status = 0;
        QApplication::exit(0);
    });
    QTimer::singleShot(kTimeoutMs, &application, [] {
        std::fprintf(stderr, "tolvex-startup-bench: the sequence did not end within %d ms\n",
                     kTimeoutMs);
        QApplication::exit(1);
    });

    form.Form_Load();
    form.show();
    const int loopStatus = windows.runEventLoop();
    return status == 0 ? 0 : (loopStatus ? loopStatus : 1);
}

// Starts this program again as the measured child and waits for it.
int runParent(const char* self, const std::string& root) {
    const pid_t child = ::fork();
    if (child < 0) {
        std::perror("tolvex-startup-bench: fork");
        return 1;
    }
    if (child == 0) {
        char started[32];
        std::snprintf(started, sizeof started, "%" PRId64, monotonicNs());
        std::vector<char*> args = {
            const_cast<char*>(self),     const_cast<char*>(kChildFlag),   started,
            const_cast<char*>("--root"), const_cast<char*>(root.c_str()), nullptr};
        ::execv("/proc/self/exe", args.data());
        std::perror("tolvex-startup-bench: exec");
        std::_Exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            std::perror("tolvex-startup-bench: wait");
            return 1;
        }
    }
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    std::fprintf(stderr, "tolvex-startup-bench: the program ended by signal %d\n",
                 WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string root = "/";
    std::int64_t startedNs = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--root" && i + 1 < argc) {
            root = argv[++i];
        } else if (argument == kChildFlag && i + 1 < argc) {
            char* end = nullptr;
            startedNs = std::strtoll(argv[++i], &end, 10);
            if (*end != '\0' || startedNs <= 0) {
                std::fprintf(stderr, "tolvex-startup-bench: bad start time\n");
                return kUsageStatus;
            }
        } else {
            std::fprintf(stderr, "usage: tolvex-startup-bench [--root DIR]\n");
            return kUsageStatus;
        }
    }
    if (startedNs < 0) {
        return runParent(argv[0], root);
    }
    int qtArgc = 1;
    return runChild(qtArgc, argv, startedNs, root);
}
