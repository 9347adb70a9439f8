#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tolvex {

// Message box styles: OK only, exclamation, information.
inline constexpr int kStylePlain = 0;
inline constexpr int kStyleExclamation = 48;
inline constexpr int kStyleInformation = 64;

// What the sections use of the window system. Elements are addressed by their
// names on the screens ("lblCPUSpeed", "cboCPUs", "frSections(3)"). Each front
// end implements it over its own controls (ui/qt/QtScreen, the native
// windows' Win32WindowSystem); a recorder implements it in tests.
class Screen {
  public:
    virtual ~Screen() = default;

    // Value fields and count lines.
    virtual void setText(std::string_view field, const std::string& text) = 0;
    virtual std::string text(std::string_view field) const = 0;
    // Why a value field shows no value (the reason, then what would bring
    // the value back), or empty once it shows one. A front end that can
    // shows it as the field's tooltip; the text stays as it is.
    virtual void setNullNote(std::string_view field, const std::string& note) = 0;

    // Drop-down selectors. Setting the selected index raises the selector's
    // click handler at once, as a user's pick does.
    virtual void addItem(std::string_view selector, const std::string& text) = 0;
    virtual int itemCount(std::string_view selector) const = 0;
    virtual int selectedIndex(std::string_view selector) const = 0;  // -1: none
    virtual void setSelectedIndex(std::string_view selector, int index) = 0;

    // The list box.
    virtual void addListLine(std::string_view list, const std::string& text) = 0;

    // The list view: rows are numbered from 1; columns 2 to 4 are set apart.
    virtual int addRow(std::string_view listView, const std::string& firstColumn) = 0;
    virtual void setRowText(std::string_view listView, int row, int column,
                            const std::string& text) = 0;
    virtual int selectedRow(std::string_view listView) const = 0;  // 0: none

    // A modal message box with one OK button; returns when it is dismissed.
    // An empty title shows the application's title.
    virtual void messageBox(const std::string& text, const std::string& title, int style) = 0;

    // Section panels.
    virtual void setVisible(std::string_view panel, bool visible) = 0;
    virtual bool isVisible(std::string_view panel) const = 0;

    // The handler raised by a click on a selector or the list view.
    virtual void setClickHandler(std::string_view element, std::function<void()> handler) = 0;
};

}  // namespace tolvex
