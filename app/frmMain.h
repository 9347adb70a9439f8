#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "app/Browser.h"
#include "net/Sockets.h"
#include "sections/MainState.h"
#include "ui/ProgramEnd.h"
#include "ui/WindowSystem.h"

namespace tolvex {

// What the main window works with. The program passes the real pieces; tests
// pass an in-memory service, scripted sockets and recorders.
struct FrmMainParts {
    std::function<ServicePtr(std::string_view moniker)> connect;
    WindowSystem& windows;
    Sockets& sockets;
    ProgramEnd& programEnd;
    BrowserLauncher& browser;
    NumberFormat format;
};

// The main window's behaviour: its lifecycle and the start-up sequence, the
// section menu, the File menu and the About box. It knows no toolkit: the
// window system raises its events and shows what it asks for.
class frmMain {
  public:
    explicit frmMain(FrmMainParts parts);
    ~frmMain();
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    Screen& screen() { return m_parts.windows.screen(); }
    const MainState& state() const { return m_state; }

    // Places the window at the centre of the screen and shows it; its first
    // activation runs the start-up sequence.
    void show();

    void Form_Load();
    void Form_Activate();
    void Form_Unload();
    void mnuSections_Click(std::int16_t Index);
    void mnuFileItem_Click(std::int16_t Index);
    void ShowAboutBox();
    void CloseMainWindow();

    // The action of File, "Goto Tolvex web site".
    void openAuthorWebPage();

  private:
    FrmMainParts m_parts;
    MainState m_state;
    SectionContext m_context;
    bool m_detecting = false;
    bool m_unloaded = false;
};

inline constexpr const char* kBrowserErrorText =
    "Unable to find Internet Explorer in its default folder.";
inline constexpr const char* kBrowserErrorTitle = "IE Startup Error";

}  // namespace tolvex
