#pragma once

#include <QApplication>
#include <functional>
#include <string>
#include <vector>

#include "app/Browser.h"
#include "tests/support/RecordingBrowser.h"
#include "ui/qt/MessageBoxes.h"

namespace tolvex::testing {

// The one application object of the widget tests (offscreen platform).
inline QApplication& qtApp() {
    static int argc = 1;
    static char name[] = "tolvex_ui_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// Records message boxes instead of showing them, with the progress text that
// was on view at the time.
class RecordingPresenter : public ui::MessagePresenter {
  public:
    struct Box {
        std::string text;
        std::string title;
        int style;
        std::string progress;
    };
    void show(const std::string& text, const std::string& title, int style) override {
        boxes.push_back({text, title, style, progress ? progress() : std::string()});
    }
    std::vector<Box> boxes;
    std::function<std::string()> progress;
};

}  // namespace tolvex::testing
