#include "app/frmMain.h"

#include <exception>

#include "app/frmAbout.h"
#include "net/modGetIPInfo.h"
#include "sections/Detectors.h"
#include "sections/Policies.h"
#include "sections/StartupSequence.h"
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
    : m_parts(std::move(parts)), m_context{m_parts.windows.screen(), m_state, m_parts.format} {
    connectSelectorHandlers(m_context);
    m_parts.windows.setEvents({
        [this] { Form_Activate(); },
        [this] { Form_Unload(); },
        [this](std::int16_t Index) { mnuSections_Click(Index); },
        [this](std::int16_t Index) { mnuFileItem_Click(Index); },
    });
}

frmMain::~frmMain() {
    // The window system outlives this object; nothing may call back into it.
    m_parts.windows.setEvents({});
    for (const char* selector : {"cboCPUs", "cboMem", "cboNIC", "cboSCSI", "lvDrives"}) {
        m_parts.windows.screen().setClickHandler(selector, {});
    }
}

void frmMain::show() {
    m_parts.windows.showMainWindow();
}

void frmMain::Form_Load() {
    m_state.CurrentSection = 0;
    m_state.DetectionDone = false;
    skipOnFailure([&] { m_state.ManagementService = m_parts.connect(wmi::kMoniker); });
    skipOnFailure(
        [&] { modGetIPInfo::StartWinsock(m_parts.sockets, screen(), m_parts.programEnd); });
}

void frmMain::Form_Activate() {
    // Activations that arrive while the sequence runs (the progress window
    // appearing or going, a message box closing) do nothing either.
    if (m_state.DetectionDone || m_detecting) {
        return;
    }
    m_detecting = true;
    m_parts.windows.showLoadingWindow();
    try {
        runDetectionSteps(m_context,
                          [this] { modGetIPInfo::DetectIPAddresses(m_parts.sockets, screen()); });
    } catch (const std::exception& error) {
        // The detectors trap their own failures; one that still escapes ends
        // the sequence with its description rather than the program.
        screen().messageBox(error.what(), kDetectionErrorTitle, kStyleInformation);
    }
    m_parts.windows.unloadLoadingWindow();
    m_state.DetectionDone = true;
    m_detecting = false;
}

void frmMain::Form_Unload() {
    if (m_unloaded) {
        return;
    }
    m_unloaded = true;
    m_parts.windows.unloadLoadingWindow();
    modGetIPInfo::EndWinsock(m_parts.sockets, screen(), m_parts.programEnd);
}

void frmMain::mnuSections_Click(std::int16_t Index) {
    if (Index < 1 || Index > kSectionCount) {
        return;
    }
    screen().setVisible(panelName(m_state.CurrentSection), false);
    m_state.CurrentSection = static_cast<std::int16_t>(Index - 1);
    screen().setVisible(panelName(m_state.CurrentSection), true);
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
        screen().messageBox(kBrowserErrorText, kBrowserErrorTitle, kStyleExclamation);
    }
}

void frmMain::ShowAboutBox() {
    m_parts.windows.showAboutBox(frmAbout::versionText());
}

void frmMain::CloseMainWindow() {
    m_parts.windows.closeMainWindow();
}

}  // namespace tolvex
