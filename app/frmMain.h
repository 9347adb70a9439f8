#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "app/Browser.h"
#include "net/Sockets.h"
#include "sections/MainState.h"
#include "ui/ProgramEnd.h"
#include "ui/MessageBoxes.h"
#include "ui/QtScreen.h"
#include "ui/Windows.h"

namespace tolvex {

// What the main window works with. The program passes the real pieces; tests
// pass an in-memory service, scripted sockets and recorders.
struct FrmMainParts {
    std::function<ServicePtr(std::string_view moniker)> connect;
    Sockets& sockets;
    ProgramEnd& programEnd;
    ui::MessagePresenter& messages;
    BrowserLauncher& browser;
    NumberFormat format;
};

// The main window's behaviour: its lifecycle and the start-up sequence, the
// section menu, the File menu and the About box.
class frmMain : public QObject {
    Q_OBJECT
  public:
    explicit frmMain(FrmMainParts parts);
    ~frmMain() override;

    ui::MainWindow& window() { return *m_window; }
    ui::QtScreen& screen() { return *m_screen; }
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
    std::unique_ptr<ui::MainWindow> m_window;
    std::unique_ptr<ui::QtScreen> m_screen;
    MainState m_state;
    SectionContext m_context;
    bool m_detecting = false;
    bool m_unloaded = false;
};

inline constexpr const char* kBrowserErrorText =
    "Unable to find Internet Explorer in its default folder.";
inline constexpr const char* kBrowserErrorTitle = "IE Startup Error";

}  // namespace tolvex
