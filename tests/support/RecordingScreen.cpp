#include "tests/support/RecordingScreen.h"

namespace tolvex::testing {

void RecordingScreen::setNullNote(std::string_view field, const std::string& note) {
    if (note.empty()) {
        notes.erase(std::string(field));
    } else {
        notes[std::string(field)] = note;
    }
}

void RecordingScreen::setText(std::string_view field, const std::string& text) {
    texts[std::string(field)] = text;
    writes.emplace_back(std::string(field), text);
}

std::string RecordingScreen::text(std::string_view field) const {
    const auto it = texts.find(field);
    return it == texts.end() ? "..." : it->second;
}

void RecordingScreen::addItem(std::string_view selector, const std::string& text) {
    items[std::string(selector)].push_back(text);
}

int RecordingScreen::itemCount(std::string_view selector) const {
    const auto it = items.find(selector);
    return it == items.end() ? 0 : static_cast<int>(it->second.size());
}

int RecordingScreen::selectedIndex(std::string_view selector) const {
    const auto it = selection.find(selector);
    return it == selection.end() ? -1 : it->second;
}

void RecordingScreen::setSelectedIndex(std::string_view selector, int index) {
    selection[std::string(selector)] = index;
    const auto handler = handlers.find(selector);
    if (handler != handlers.end() && handler->second) {
        handler->second();
    }
}

void RecordingScreen::addListLine(std::string_view list, const std::string& text) {
    lists[std::string(list)].push_back(text);
}

int RecordingScreen::addRow(std::string_view listView, const std::string& firstColumn) {
    auto& table = rows[std::string(listView)];
    table.push_back(Row{{firstColumn, "", "", ""}});
    return static_cast<int>(table.size());
}

void RecordingScreen::setRowText(std::string_view listView, int row, int column,
                                 const std::string& text) {
    auto& table = rows[std::string(listView)];
    table.at(static_cast<std::size_t>(row - 1)).columns.at(static_cast<std::size_t>(column - 1)) =
        text;
}

int RecordingScreen::selectedRow(std::string_view listView) const {
    const auto it = selectedRows.find(listView);
    return it == selectedRows.end() ? 0 : it->second;
}

void RecordingScreen::messageBox(const std::string& text, const std::string& title, int style) {
    boxes.push_back({text, title, style, this->text("lblLoad")});
}

void RecordingScreen::setVisible(std::string_view panel, bool isVisible) {
    visible[std::string(panel)] = isVisible;
}

bool RecordingScreen::isVisible(std::string_view panel) const {
    const auto it = visible.find(panel);
    return it != visible.end() && it->second;
}

void RecordingScreen::setClickHandler(std::string_view element, std::function<void()> handler) {
    handlers[std::string(element)] = std::move(handler);
}

void RecordingScreen::clickRow(std::string_view listView, int row) {
    selectedRows[std::string(listView)] = row;
    const auto handler = handlers.find(listView);
    if (handler != handlers.end() && handler->second) {
        handler->second();
    }
}

}  // namespace tolvex::testing
