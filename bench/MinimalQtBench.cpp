// tolvex-minimal-qt-bench: the floor the program's start is measured
// against, a Qt Widgets program that does the least a window can: one label
// of frmMain's size (444 x 528) with a line of text, shown, painted and
// activated, then quit. It is timed as tolvex-startup-bench times the
// program, from exec to that moment, on Qt's offscreen platform, and prints
// one line in the same form:
//
//   exec_to_filled_ms=38.2 peak_rss_kb=22000
//
// So whatever the two share (loading Qt, its platform plug-in, the font
// database, a first paint) is paid by both, and their ratio is what the
// program itself adds.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QTimer>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

constexpr int kUsageStatus = 64;
constexpr int kTimeoutMs = 20000;
constexpr const char* kChildFlag = "--child-started-ns";

std::int64_t monotonicNs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The label, which reports once it has been painted and its window
// activated, whichever comes last.
class Label : public QLabel {
  public:
    Label(std::int64_t startedNs) : m_startedNs(startedNs) {}

  protected:
    void paintEvent(QPaintEvent* event) override {
        QLabel::paintEvent(event);
        m_painted = true;
        finishWhenReady();
    }
    bool event(QEvent* event) override {
        const bool handled = QLabel::event(event);
        if (event->type() == QEvent::WindowActivate) {
            m_activated = true;
            finishWhenReady();
        }
        return handled;
    }

  private:
    void finishWhenReady() {
        if (!m_painted || !m_activated || m_done) {
            return;
        }
        m_done = true;
        const std::int64_t shownNs = monotonicNs();
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        std::printf("exec_to_filled_ms=%.1f peak_rss_kb=%ld\n",
                    static_cast<double>(shownNs - m_startedNs) / 1e6, usage.ru_maxrss);
        std::fflush(stdout);
        QApplication::exit(0);
    }

    std::int64_t m_startedNs;
    bool m_painted = false;
    bool m_activated = false;
    bool m_done = false;
};

int runChild(int argc, char** argv, std::int64_t startedNs) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    Label label(startedNs);
    label.setText(QStringLiteral("Please wait..."));
    label.setFixedSize(444, 528);
    label.show();
    label.activateWindow();
    QTimer::singleShot(kTimeoutMs, &application, [] {
        std::fprintf(stderr, "tolvex-minimal-qt-bench: no paint within %d ms\n", kTimeoutMs);
        QApplication::exit(1);
    });
    return QApplication::exec();
}

// Starts this program again as the measured child and waits for it.
int runParent(const char* self) {
    const pid_t child = ::fork();
    if (child < 0) {
        std::perror("tolvex-minimal-qt-bench: fork");
        return 1;
    }
    if (child == 0) {
        char started[32];
        std::snprintf(started, sizeof started, "%" PRId64, monotonicNs());
        std::vector<char*> args = {const_cast<char*>(self), const_cast<char*>(kChildFlag), started,
                                   nullptr};
        ::execv("/proc/self/exe", args.data());
        std::perror("tolvex-minimal-qt-bench: exec");
        std::_Exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            std::perror("tolvex-minimal-qt-bench: wait");
            return 1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 1) {
        return runParent(argv[0]);
    }
    char* end = nullptr;
    const std::int64_t startedNs =
        argc == 3 && std::strcmp(argv[1], kChildFlag) == 0 ? std::strtoll(argv[2], &end, 10) : -1;
    if (startedNs <= 0 || *end != '\0') {
        std::fprintf(stderr, "usage: tolvex-minimal-qt-bench\n");
        return kUsageStatus;
    }
    int qtArgc = 1;
    return runChild(qtArgc, argv, startedNs);
}
