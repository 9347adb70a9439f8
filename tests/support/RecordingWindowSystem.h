#pragma once

#include <string>
#include <vector>

#include "tests/support/RecordingScreen.h"
#include "ui/WindowSystem.h"

namespace tolvex::testing {

// A window system that records what frmMain asks of it, over a recording
// screen, and lets a test raise the events a user's actions would raise.
// Closing the main window raises `unloading`, as the real ones do.
class RecordingWindowSystem : public WindowSystem {
  public:
    Screen& screen() override { return recording; }
    void setEvents(WindowEvents newEvents) override { events = std::move(newEvents); }
    void showMainWindow() override {
        calls.emplace_back("showMainWindow");
        mainShown = true;
    }
    void closeMainWindow() override {
        calls.emplace_back("closeMainWindow");
        mainShown = false;
        raise(events.unloading);
    }
    void showLoadingWindow() override {
        calls.emplace_back("showLoadingWindow");
        loadingLoaded = true;
        recording.texts["lblLoad"] = "";
    }
    bool loadingWindowLoaded() const override { return loadingLoaded; }
    void unloadLoadingWindow() override {
        calls.emplace_back("unloadLoadingWindow");
        loadingLoaded = false;
    }
    void showAboutBox(const std::string& versionText) override {
        calls.emplace_back("showAboutBox");
        aboutTexts.push_back(versionText);
    }
    int runEventLoop() override { return 0; }

    // A user's actions.
    void activate() { raise(events.activated); }
    void chooseSection(std::int16_t index) { raise(events.sectionMenuClicked, index); }
    void chooseFileItem(std::int16_t index) { raise(events.fileMenuClicked, index); }

    RecordingScreen recording;
    WindowEvents events;
    std::vector<std::string> calls;
    std::vector<std::string> aboutTexts;
    bool mainShown = false;
    bool loadingLoaded = false;

  private:
    template <class Handler, class... Args>
    static void raise(const Handler& handler, Args... args) {
        if (handler) {
            handler(args...);
        }
    }
};

}  // namespace tolvex::testing
