#pragma once

#include <QMessageBox>
#include <memory>
#include <string>

class QWidget;

namespace tolvex::ui {

// The title of message boxes shown without one.
inline constexpr const char* kApplicationTitle = "prjTolvex";

// Shows a modal message box with one OK button and waits for it. The
// program's own uses Qt message boxes; tests record the calls.
class MessagePresenter {
  public:
    virtual ~MessagePresenter() = default;
    virtual void show(const std::string& text, const std::string& title, int style) = 0;
};

// The message box for a text, a title (empty: the application's title) and a
// style value: 0 no icon, 48 exclamation, 64 information. Texts are plain.
std::unique_ptr<QMessageBox> makeMessageBox(const std::string& text, const std::string& title,
                                            int style, QWidget* parent = nullptr);

class QtMessagePresenter : public MessagePresenter {
  public:
    void show(const std::string& text, const std::string& title, int style) override;
};

}  // namespace tolvex::ui
