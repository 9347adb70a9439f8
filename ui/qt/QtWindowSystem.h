#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "ui/WindowSystem.h"
#include "ui/qt/MessageBoxes.h"
#include "ui/qt/QtScreen.h"
#include "ui/qt/Windows.h"

namespace tolvex::ui {

// The window system over Qt widgets: frmMain built from its definition, the
// screen operations over it, frmLoading while it is loaded and frmAbout as a
// modal dialog. Message boxes go to the presenter it is given.
class QtWindowSystem : public QObject, public WindowSystem {
    Q_OBJECT
  public:
    explicit QtWindowSystem(MessagePresenter& messages);
    ~QtWindowSystem() override;

    Screen& screen() override;
    void setEvents(WindowEvents events) override;
    void showMainWindow() override;
    void closeMainWindow() override;
    void showLoadingWindow() override;
    bool loadingWindowLoaded() const override;
    void unloadLoadingWindow() override;
    void showAboutBox(const std::string& versionText) override;
    // A failure that escaped a handler ends the loop and is raised from here.
    int runEventLoop() override;

    MainWindow& mainWindow() { return *m_window; }
    QtScreen& qtScreen() { return *m_screen; }

  private:
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<QtScreen> m_screen;
    WindowEvents m_events;
};

}  // namespace tolvex::ui
