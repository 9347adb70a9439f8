// frmMain over the native front end and Wine's management service: the
// start-up sequence with its progress texts read from the progress window
// itself, the section menu's commands, and File, Exit ending the loop.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Browser.h"
#include "app/frmMain.h"
#include "net/Sockets.h"
#include "tests/support/InMemoryService.h"
#include "tests/support/RecordingProgramEnd.h"
#include "tests/windows/WindowTestSupport.h"
#include "ui/ScreenDefinitions.h"
#include "ui/win32/Win32WindowSystem.h"
#include "wmi/Management.h"
#include "wmi/WmiNames.h"

namespace tolvex::ui::win32 {
namespace {

// The native window system, except that every progress text frmMain
// writes is read back from the progress window's own label, with whether
// that window is on screen, at the moment it is written.
class ProgressWatch : public WindowSystem, private Screen {
  public:
    explicit ProgressWatch(Win32WindowSystem& real) : m_real(real), m_screen(real.screen()) {}

    struct Seen {
        std::string text;
        bool visible;
    };
    std::vector<Seen> progress;
    int messageBoxes = 0;

    Screen& screen() override { return *this; }
    void setEvents(WindowEvents events) override { m_real.setEvents(std::move(events)); }
    void showMainWindow() override { m_real.showMainWindow(); }
    void closeMainWindow() override { m_real.closeMainWindow(); }
    void showLoadingWindow() override { m_real.showLoadingWindow(); }
    bool loadingWindowLoaded() const override { return m_real.loadingWindowLoaded(); }
    void unloadLoadingWindow() override { m_real.unloadLoadingWindow(); }
    void showAboutBox(const std::string& text) override { m_real.showAboutBox(text); }
    int runEventLoop() override { return m_real.runEventLoop(); }

  private:
    void setText(std::string_view field, const std::string& text) override {
        m_screen.setText(field, text);
        if (field == "lblLoad") {
            HWND window = m_real.loadingWindow();
            HWND label = m_real.loadingControls()->find("lblLoad");
            progress.push_back({testing::textOf(label), IsWindowVisible(window) != FALSE});
        }
    }
    void setNullNote(std::string_view field, const std::string& note) override {
        m_screen.setNullNote(field, note);
    }
    std::string text(std::string_view field) const override { return m_screen.text(field); }
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
    void messageBox(const std::string& text, const std::string& title, int style) override {
        // Wine answers every class the sequence asks for; a box would be a
        // fault here, and would wait for a click.
        ++messageBoxes;
        ADD_FAILURE() << "message box " << title << ": " << text << " (" << style << ")";
    }
    void setVisible(std::string_view p, bool v) override { m_screen.setVisible(p, v); }
    bool isVisible(std::string_view p) const override { return m_screen.isVisible(p); }
    void setClickHandler(std::string_view e, std::function<void()> h) override {
        m_screen.setClickHandler(e, std::move(h));
    }

    Win32WindowSystem& m_real;
    Screen& m_screen;
};

// The one section panel on screen (-1 if none, or more than one).
int shownPanel(const Win32WindowSystem& windows) {
    int shown = -1;
    for (int i = 0; i < 8; ++i) {
        HWND panel = windows.mainControls().find(ui::arrayName("frSections", i));
        if (GetWindowLongPtrW(panel, GWL_STYLE) & WS_VISIBLE) {
            if (shown >= 0) {
                return -1;
            }
            shown = i;
        }
    }
    return shown;
}

class NoBrowser : public BrowserLauncher {
  public:
    bool openAddress(const std::string&) override { return false; }
};

TEST(WinProgram, StartsWithItsProgressTextsWalksTheMenuAndEndsThroughFileExit) {
    Win32WindowSystem real;
    ProgressWatch windows(real);
    tolvex::testing::RecordingProgramEnd programEnd;
    NoBrowser browser;
    frmMain form({[](std::string_view moniker) { return Connect(moniker); }, windows,
                  platformSockets(), programEnd, browser, NumberFormat::point()});
    form.Form_Load();
    form.show();

    HWND main = real.mainWindow();
    std::vector<int> visiblePanels;
    int step = 0;
    int status = -1;
    // Once the sequence is done: each section command as the menu sends it,
    // then File, Exit.
    const bool ended = testing::whileModal(
        [&] { status = windows.runEventLoop(); },
        [&] {
            if (!form.state().DetectionDone) {
                return false;
            }
            if (step > 0) {
                visiblePanels.push_back(shownPanel(real));
            }
            if (step < 8) {
                ++step;
                PostMessageW(main, WM_COMMAND, static_cast<WPARAM>(kSectionMenuCommand + step), 0);
                return false;
            }
            PostMessageW(main, WM_COMMAND, kFileMenuCommand + 4, 0);
            return true;
        },
        3000);
    ASSERT_TRUE(ended) << "the sequence did not end";
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(IsWindow(main));

    const std::vector<std::string> expected = {
        "Detecting system processor(s)...", "Detecting motherboard...",
        "Detecting main memory banks...",   "Detecting network adapter(s)...",
        "Detecting IP address(es)...",      "Detecting video adapter...",
        "Detecting SCSI adapter...",        "Detecting drive(s)...",
        "Detecting operating system..."};
    ASSERT_EQ(windows.progress.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(windows.progress[i].text, expected[i]);
        EXPECT_TRUE(windows.progress[i].visible) << expected[i];
    }
    EXPECT_FALSE(real.loadingWindowLoaded());
    EXPECT_EQ(windows.messageBoxes, 0);
    EXPECT_EQ(visiblePanels, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(programEnd.calls, 0);
}

// A "Detection Error" box during the start-up sequence holds the whole
// program until it is dismissed: owned by the main window, which is
// disabled with the progress window, so a click on the main window's menu
// bar opens nothing and a request to close it is not carried out while the
// sequence waits. Afterwards the same click opens File, and Exit ends the
// program with status 0.
TEST(WinProgram, ADetectionErrorBoxHoldsTheWholeProgramUntilDismissed) {
    auto service = std::make_shared<tolvex::testing::InMemoryService>();
    service->add(wmi::cls::Processor, R"(\\HOST\root\cimv2:Win32_Processor.DeviceID="CPU0")",
                 {{wmi::prop::Name, ManagementValue::text("Processor 0")}});
    service->inject({tolvex::testing::InMemoryService::Call::Property, wmi::cls::Processor, 0,
                     wmi::prop::Name, "Generic failure"});
    Win32WindowSystem windows;
    tolvex::testing::RecordingProgramEnd programEnd;
    NoBrowser browser;
    frmMain form({[service](std::string_view) -> ServicePtr { return service; }, windows,
                  platformSockets(), programEnd, browser, NumberFormat::point()});
    form.Form_Load();
    form.show();
    HWND main = windows.mainWindow();
    RECT file{};
    GetMenuItemRect(main, GetMenu(main), 0, &file);
    const POINT onFile{(file.left + file.right) / 2, (file.top + file.bottom) / 2};

    enum class Step { WaitForBox, ClickedWhileBoxUp, WaitForEnd, ClickedFile };
    Step step = Step::WaitForBox;
    HWND box = nullptr;
    HWND owner = nullptr;
    bool mainEnabled = true, loadingEnabled = true, menuOpenedUnderBox = false;
    int settleTicks = 0;
    int ticks = 0;
    bool gaveUp = false;
    const auto watch = [&] {
        if (++ticks > 3000) {
            // Given up: everything is closed, so that the loop ends.
            gaveUp = true;
            EndMenu();
            for (HWND open : testing::messageBoxes()) {
                testing::pressOk(open);
            }
            PostQuitMessage(1);
            return true;
        }
        switch (step) {
            case Step::WaitForBox: {
                const auto boxes = testing::messageBoxes();
                if (boxes.empty()) {
                    return false;
                }
                box = boxes.front();
                owner = GetWindow(box, GW_OWNER);
                mainEnabled = IsWindowEnabled(main) != FALSE;
                loadingEnabled = IsWindowEnabled(windows.loadingWindow()) != FALSE;
                testing::clickAt(onFile);
                step = Step::ClickedWhileBoxUp;
                return false;
            }
            case Step::ClickedWhileBoxUp:
                // Three clicks on File, a few turns apart; once the last has
                // left the input queue, the main window is asked to close and
                // the box is dismissed.
                if (testing::popupMenuShown()) {
                    menuOpenedUnderBox = true;
                    EndMenu();
                }
                ++settleTicks;
                if (settleTicks == 20 || settleTicks == 40) {
                    testing::clickAt(onFile);
                }
                if (GetQueueStatus(QS_MOUSEBUTTON) != 0 || settleTicks < 60) {
                    return false;
                }
                // A request to close the main window, handled before the OK.
                PostMessageW(main, WM_CLOSE, 0, 0);
                testing::pressOk(box);
                settleTicks = 0;
                step = Step::WaitForEnd;
                return false;
            case Step::WaitForEnd:
                // The other classes are unknown to this service: each of
                // their boxes is dismissed as it comes.
                for (HWND open : testing::messageBoxes()) {
                    testing::pressOk(open);
                }
                if (!form.state().DetectionDone) {
                    return false;
                }
                testing::clickAt(onFile);
                step = Step::ClickedFile;
                return false;
            case Step::ClickedFile:
                // The click is repeated until the menu opens: one that comes
                // while the window is still being activated can be lost.
                if (++settleTicks % 50 == 0) {
                    testing::clickAt(onFile);
                }
                if (!testing::popupMenuShown()) {
                    return false;
                }
                testing::pressKey('X');
                return true;
        }
        return false;
    };
    int status = -1;
    testing::whileModal([&] { status = windows.runEventLoop(); }, watch, 4000);
    ASSERT_FALSE(gaveUp) << "stopped waiting at step " << static_cast<int>(step);
    EXPECT_EQ(owner, main);
    EXPECT_FALSE(mainEnabled);
    EXPECT_FALSE(loadingEnabled);
    EXPECT_FALSE(menuOpenedUnderBox);
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(IsWindow(main));
    EXPECT_EQ(programEnd.calls, 0);
}

}  // namespace
}  // namespace tolvex::ui::win32
