#include "app/frmMain.h"

#include <exception>

#include "app/frmAbout.h"
#include "net/modGetIPInfo.h"
#include "sections/Detectors.h"
#include "sections/Policies.h"
#include "sections/StartupSequence.h"
#include "ui/ScreenBuilder.h"
#include "ui/ScreenDefinitions.h"
#include "wmi/WmiNames.h"

namespace tolvex {

namespace {

constexpr std::int16_t kSectionCount = 8;

std::string panelName(std::int16_t index) {
    return ui::arrayName("frSections", index);
}

}  // namespace

frmMain::frmMain(FrmMainParts parts)
    : m_parts(std::move(parts)),
      m_window(std::make_unique<ui::MainWindow>()),
      m_screen(std::make_unique<ui::QtScreen>(*m_window, m_parts.messages)),
      m_context{*m_screen, m_state, m_parts.format} {
    connectSelectorHandlers(m_context);
    connect(m_window.get(), &ui::MainWindow::activated, this, &frmMain::Form_Activate);
    connect(m_window.get(), &ui::MainWindow::unloading, this, &frmMain::Form_Unload);
    connect(m_window.get(), &ui::MainWindow::sectionMenuClicked, this,
            [this](int index) { mnuSections_Click(static_cast<std::int16_t>(index)); });
    connect(m_window.get(), &ui::MainWindow::fileMenuClicked, this,
            [this](int index) { mnuFileItem_Click(static_cast<std::int16_t>(index)); });
}

frmMain::~frmMain() {
    // The handlers capture the context; drop them with the screen first.
    m_screen.reset();
}

void frmMain::show() {
    m_window->adjustSize();
    ui::centreOnScreen(m_window.get());
    m_window->show();
    // Ask for activation too: where no window manager hands it out, the
    // first activation (and with it the start-up sequence) still comes.
    m_window->raise();
    m_window->activateWindow();
}

void frmMain::Form_Load() {
    m_state.CurrentSection = 0;
    m_state.DetectionDone = false;
    skipOnFailure([&] { m_state.ManagementService = m_parts.connect(wmi::kMoniker); });
    skipOnFailure(
        [&] { modGetIPInfo::StartWinsock(m_parts.sockets, *m_screen, m_parts.programEnd); });
}

void frmMain::Form_Activate() {
    // Activations that arrive while the sequence runs (the progress window
    // appearing or going, a message box closing) do nothing either.
    if (m_state.DetectionDone || m_detecting) {
        return;
    }
    m_detecting = true;
    ui::LoadingWindow& loading = m_screen->loadingWindow();
    loading.adjustSize();
    ui::centreOnScreen(&loading);
    loading.show();
    loading.raise();
    try {
        runDetectionSteps(m_context,
                          [this] { modGetIPInfo::DetectIPAddresses(m_parts.sockets, *m_screen); });
    } catch (const std::exception& error) {
        // The detectors trap their own failures; one that still escapes ends
        // the sequence with its description rather than the program.
        m_screen->messageBox(error.what(), kDetectionErrorTitle, kStyleInformation);
    }
    m_screen->unloadLoadingWindow();
    m_state.DetectionDone = true;
    m_detecting = false;
}

void frmMain::Form_Unload() {
    if (m_unloaded) {
        return;
    }
    m_unloaded = true;
    m_screen->unloadLoadingWindow();
    modGetIPInfo::EndWinsock(m_parts.sockets, *m_screen, m_parts.programEnd);
}

void frmMain::mnuSections_Click(std::int16_t Index) {
    if (Index < 1 || Index > kSectionCount) {
        return;
    }
    m_screen->setVisible(panelName(m_state.CurrentSection), false);
    m_state.CurrentSection = static_cast<std::int16_t>(Index - 1);
    m_screen->setVisible(panelName(m_state.CurrentSection), true);
}

void frmMain::mnuFileItem_Click(std::int16_t Index) {
    switch (Index) {
        case 1:
            openAuthorWebPage();
            break;
        case 2:
            ShowAboutBox();
            break;
        case 4:
            CloseMainWindow();
            break;
        default:
            break;
    }
}

void frmMain::openAuthorWebPage() {
    bool started = false;
    try {
        started = m_parts.browser.openAddress(kAuthorWebPage);
    } catch (const std::exception&) {
        started = false;
    }
    if (!started) {
        m_screen->messageBox(kBrowserErrorText, kBrowserErrorTitle, kStyleExclamation);
    }
}

void frmMain::ShowAboutBox() {
    frmAbout::showModal(m_window.get());
}

void frmMain::CloseMainWindow() {
    m_window->close();
}

}  // namespace tolvex
