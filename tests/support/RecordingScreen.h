#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/Screen.h"

namespace tolvex::testing {

// A screen that records what the sections do: field texts, selector items
// and selection, list lines, list-view rows, message boxes shown and panel
// visibility. Fields it has not been told about read as "...", the initial
// text of every value field.
class RecordingScreen : public Screen {
  public:
    struct Box {
        std::string text;
        std::string title;
        int style;
        std::string progressText;  // lblLoad's text while the box was up
    };
    struct Row {
        std::vector<std::string> columns;  // 4 columns; unset ones are empty
    };

    void setText(std::string_view field, const std::string& text) override;
    std::string text(std::string_view field) const override;
    void setNullNote(std::string_view field, const std::string& note) override;
    void addItem(std::string_view selector, const std::string& text) override;
    int itemCount(std::string_view selector) const override;
    int selectedIndex(std::string_view selector) const override;
    void setSelectedIndex(std::string_view selector, int index) override;
    void addListLine(std::string_view list, const std::string& text) override;
    int addRow(std::string_view listView, const std::string& firstColumn) override;
    void setRowText(std::string_view listView, int row, int column,
                    const std::string& text) override;
    int selectedRow(std::string_view listView) const override;
    void messageBox(const std::string& text, const std::string& title, int style) override;
    void setVisible(std::string_view panel, bool visible) override;
    bool isVisible(std::string_view panel) const override;
    void setClickHandler(std::string_view element, std::function<void()> handler) override;

    // A user's click on a list-view row (1-based), raising its click handler.
    void clickRow(std::string_view listView, int row);

    std::map<std::string, std::string, std::less<>> texts;
    std::map<std::string, std::vector<std::string>, std::less<>> items;
    std::map<std::string, int, std::less<>> selection;
    std::map<std::string, std::vector<std::string>, std::less<>> lists;
    std::map<std::string, std::vector<Row>, std::less<>> rows;
    std::map<std::string, int, std::less<>> selectedRows;
    std::map<std::string, bool, std::less<>> visible;
    std::map<std::string, std::function<void()>, std::less<>> handlers;
    std::vector<Box> boxes;
    // The fields' notes on why they show no value (none: no entry).
    std::map<std::string, std::string, std::less<>> notes;
    // Every field write, in order (field, text), for tests of ordering.
    std::vector<std::pair<std::string, std::string>> writes;
};

}  // namespace tolvex::testing
