// tolvex-startup-bench.exe: the Windows program's start, measured from the
// start of the process to the moment the start-up sequence has filled every
// panel, with the program's own code (frmMain over the native windows and
// the management service).
//
//   tolvex-startup-bench.exe
//
// The start is the process's creation time, or, where the environment
// variable TOLVEX_BENCH_STARTED_NS gives one (nanoseconds since 1970 as the
// launching shell read them before starting Wine), that moment: under Wine
// the time then counts Wine's own start too. One line goes to standard
// output:
//
//   exec_to_filled_ms=412.3 to_main_ms=40.1 build_ms=30.2 form_load_ms=20.0 sequence_ms=300.1
//   peak_working_set_kb=31000 initial_text_fields=12 message_boxes=0
//
// The parts: to_main_ms from the start to main() (under Wine, Wine's own
// start of a process), build_ms building frmMain's window and controls,
// form_load_ms Form_Load (connecting to the management service, starting
// sockets), sequence_ms the start-up sequence (the nine detection steps,
// mostly the management service's time); the rest is showing the window and
// its activation.
//
// Message boxes are counted, not shown, as a start that shows one is no
// normal start.

#include <windows.h>

#include <psapi.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/Browser.h"
#include "app/ImmediateEnd.h"
#include "app/frmMain.h"
#include "net/Sockets.h"
#include "ui/ScreenDefinitions.h"
#include "ui/win32/LocaleFormat.h"
#include "ui/win32/Win32WindowSystem.h"
#include "wmi/Management.h"

namespace {

constexpr UINT kTimeoutMs = 60000;

// 100-nanosecond intervals between 1601 and 1970.
constexpr std::int64_t kUnixEpochIn100ns = 116444736000000000;

std::int64_t unixNs(const FILETIME& time) {
    const std::int64_t ticks =
        (static_cast<std::int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return (ticks - kUnixEpochIn100ns) * 100;
}

std::int64_t nowNs() {
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    return unixNs(now);
}

std::int64_t startedNs() {
    if (const char* given = std::getenv("TOLVEX_BENCH_STARTED_NS")) {
        char* end = nullptr;
        const long long value = std::strtoll(given, &end, 10);
        if (end && *end == '\0' && value > 0) {
            return value;
        }
    }
    FILETIME creation, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &creation, &exited, &kernel, &user);
    return unixNs(creation);
}

// The native window system, with message boxes counted instead of shown and
// a look at the state right after each activation has been handled.
class MeasuredWindows : public tolvex::WindowSystem, private tolvex::Screen {
  public:
    explicit MeasuredWindows(tolvex::ui::win32::Win32WindowSystem& real)
        : m_real(real), m_screen(real.screen()) {}

    std::function<void()> beforeActivation;
    std::function<void()> afterActivation;
    int messageBoxes = 0;

    Screen& screen() override { return *this; }
    void setEvents(tolvex::WindowEvents events) override {
        auto activated = events.activated;
        events.activated = [this, activated] {
            if (beforeActivation) {
                beforeActivation();
            }
            if (activated) {
                activated();
            }
            if (afterActivation) {
                afterActivation();
            }
        };
        m_real.setEvents(std::move(events));
    }
    void showMainWindow() override { m_real.showMainWindow(); }
    void closeMainWindow() override { m_real.closeMainWindow(); }
    void showLoadingWindow() override { m_real.showLoadingWindow(); }
    bool loadingWindowLoaded() const override { return m_real.loadingWindowLoaded(); }
    void unloadLoadingWindow() override { m_real.unloadLoadingWindow(); }
    void showAboutBox(const std::string& text) override { m_real.showAboutBox(text); }
    int runEventLoop() override { return m_real.runEventLoop(); }

  private:
    void setText(std::string_view f, const std::string& t) override { m_screen.setText(f, t); }
    std::string text(std::string_view f) const override { return m_screen.text(f); }
    void setNullNote(std::string_view f, const std::string& n) override {
        m_screen.setNullNote(f, n);
    }
    void addItem(std::string_view s, const std::string& t) override { m_screen.addItem(s, t); }
    int itemCount(std::string_view s) const override { return m_screen.itemCount(s); }
    int selectedIndex(std::string_view s) const override { return m_screen.selectedIndex(s); }
    void setSelectedIndex(std::string_view s, int i) override { m_screen.setSelectedIndex(s, i); }
    void addListLine(std::string_view l, const std::string& t) override {
        m_screen.addListLine(l, t);
    }
    int addRow(std::string_view v, const std::string& t) override { return m_screen.addRow(v, t); }
    void setRowText(std::string_view v, int r, int c, const std::string& t) override {
        m_screen.setRowText(v, r, c, t);
    }
    int selectedRow(std::string_view v) const override { return m_screen.selectedRow(v); }
    void messageBox(const std::string& text, const std::string& title, int) override {
        ++messageBoxes;
        std::fprintf(stderr, "message box: %s: %s\n", title.c_str(), text.c_str());
    }
    void setVisible(std::string_view p, bool v) override { m_screen.setVisible(p, v); }
    bool isVisible(std::string_view p) const override { return m_screen.isVisible(p); }
    void setClickHandler(std::string_view e, std::function<void()> h) override {
        m_screen.setClickHandler(e, std::move(h));
    }

    tolvex::ui::win32::Win32WindowSystem& m_real;
    Screen& m_screen;
};

void CALLBACK onTimeout(HWND, UINT, UINT_PTR, DWORD) {
    std::fprintf(stderr, "tolvex-startup-bench: the sequence did not end within %u ms\n",
                 kTimeoutMs);
    PostQuitMessage(2);
}

}  // namespace

int main() {
    const std::int64_t started = startedNs();
    const std::int64_t entered = nowNs();
    tolvex::ui::win32::Win32WindowSystem real(GetModuleHandleW(nullptr));
    MeasuredWindows windows(real);
    tolvex::ImmediateProgramEnd programEnd;
    const std::unique_ptr<tolvex::BrowserLauncher> browser = tolvex::platformBrowser();
    tolvex::frmMain form({
        [](std::string_view moniker) { return tolvex::Connect(moniker); },
        windows,
        tolvex::platformSockets(),
        programEnd,
        *browser,
        tolvex::ui::win32::userNumberFormat(),
    });

    const std::int64_t built = nowNs();
    bool measured = false;
    std::int64_t loaded = 0;
    std::int64_t sequenceStarted = 0;
    windows.beforeActivation = [&] {
        if (!sequenceStarted) {
            sequenceStarted = nowNs();
        }
    };
    windows.afterActivation = [&] {
        if (measured || !form.state().DetectionDone) {
            return;
        }
        measured = true;
        const std::int64_t filled = nowNs();
        PROCESS_MEMORY_COUNTERS memory{};
        memory.cb = sizeof memory;
        GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
        int initialText = 0;
        for (const auto* field : tolvex::ui::valueFields(tolvex::ui::frmMainDefinition())) {
            initialText += form.screen().text(field->name) == tolvex::ui::kInitialValue;
        }
        std::printf(
            "exec_to_filled_ms=%.1f to_main_ms=%.1f build_ms=%.1f form_load_ms=%.1f "
            "sequence_ms=%.1f peak_working_set_kb=%zu initial_text_fields=%d "
            "message_boxes=%d\n",
            static_cast<double>(filled - started) / 1e6,
            static_cast<double>(entered - started) / 1e6,
            static_cast<double>(built - entered) / 1e6, static_cast<double>(loaded - built) / 1e6,
            static_cast<double>(filled - sequenceStarted) / 1e6, memory.PeakWorkingSetSize / 1024,
            initialText, windows.messageBoxes);
        std::fflush(stdout);
        form.CloseMainWindow();
    };
    SetTimer(nullptr, 0, kTimeoutMs, onTimeout);

    form.Form_Load();
    loaded = nowNs();
    form.show();
    const int status = windows.runEventLoop();
    return measured ? status : (status ? status : 1);
}
