#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "ui/PanelText.h"
#include "ui/win32/NativeControls.h"

// Copying from frmMain: the value the user has chosen or points at, or the
// whole panel shown, as plain text on the clipboard.
namespace tolvex::ui::win32 {

// The menu commands of copying: Ctrl+C, and the items of the context menu.
inline constexpr int kCopyCommand = 300;
inline constexpr int kCopyValueCommand = 301;
inline constexpr int kCopyPanelCommand = 302;

// The texts of a window's panels read back from its controls.
class ControlsReader final : public PanelReader {
  public:
    explicit ControlsReader(const WindowControls& controls) : m_controls(controls) {}
    std::string labelText(std::string_view label) const override;
    std::string chosenItem(std::string_view selector) const override;
    std::vector<std::vector<std::string>> rows(std::string_view list) const override;

  private:
    const WindowControls& m_controls;
};

// The section panel frmMain shows now as text, its lines ending in CR LF as
// Windows' texts do; empty when no panel is shown.
std::string shownPanelText(const WindowControls& main);

// The value the user has selected in the control that has the keyboard
// focus: the selected part of a selector's field, the chosen address of the
// IP list, the chosen row of the drive list (its cells tab-separated); empty
// when there is none.
std::string selectedValue(const WindowControls& main);

// The value under `point` (screen coordinates): a value label's text (the
// value a caption introduces, for a caption), a selector's chosen item, the
// list line or drive-list cell under the point; empty over anything else.
std::string valueAt(const WindowControls& main, POINT point);

// Puts `text` on the clipboard as Unicode text; false when the clipboard
// could not be had.
bool copyText(HWND owner, const std::string& text);

// What Ctrl+C copies: the selected value, else the shown panel.
std::string copiedByShortcut(const WindowControls& main);

// The context menu of frmMain at `point` (screen coordinates; -1, -1 when
// asked from the keyboard): "Copy" the value under the pointer (greyed where
// there is none) and "Copy panel"; copies what the user picks.
void showCopyMenu(const WindowControls& main, POINT point);

}  // namespace tolvex::ui::win32
