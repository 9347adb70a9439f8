#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ui/Screen.h"

namespace tolvex {

// What the window system tells frmMain. Each front end raises these from its
// own events: the main window's activation, its unloading (it always closes),
// and the menu items chosen, by their index in the control array
// ("mnuSections(3)" raises sectionMenuClicked(3)).
struct WindowEvents {
    std::function<void()> activated;
    std::function<void()> unloading;
    std::function<void(std::int16_t Index)> sectionMenuClicked;
    std::function<void(std::int16_t Index)> fileMenuClicked;
};

// The window system as frmMain uses it: its three windows built from the
// screen definitions, the screen operations over them, and the event loop.
// One implementation per front end (Qt on Linux, native controls on
// Windows); tests record the calls.
class WindowSystem {
  public:
    virtual ~WindowSystem() = default;

    // The screen operations over frmMain's elements and, while it is loaded,
    // frmLoading's (lblLoad). A text written to the progress window is on
    // view when setText returns: the window is repainted there and then.
    virtual Screen& screen() = 0;

    // Where the events go; set once, before the main window is shown.
    virtual void setEvents(WindowEvents events) = 0;

    // Shows frmMain at the centre of the screen and asks for activation.
    virtual void showMainWindow() = 0;
    // Unloads frmMain, which raises `unloading` (once).
    virtual void closeMainWindow() = 0;

    // frmLoading: loaded on first use, shown modeless at the centre of the
    // screen; unloading it when it is not loaded does nothing.
    virtual void showLoadingWindow() = 0;
    virtual bool loadingWindowLoaded() const = 0;
    virtual void unloadLoadingWindow() = 0;

    // frmAbout, modal over frmMain with `versionText` in lblVer; returns when
    // the user has closed it (OK, Enter or Esc).
    virtual void showAboutBox(const std::string& versionText) = 0;

    // Runs the event loop until frmMain is unloaded; the program's exit
    // status.
    virtual int runEventLoop() = 0;
};

}  // namespace tolvex
