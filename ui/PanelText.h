#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/ScreenDefinitions.h"

// A section panel as plain text, for the clipboard: what a user pastes into a
// support ticket. The layout comes from the screen definitions; the texts
// come from the front end's own widgets, through PanelReader.
//
// A front end provides PanelReader by answering from the widgets its builder
// made for the named elements: the text a label shows, the item a selector
// shows as chosen, and the rows of the list box (one cell a row) and of the
// list view (its cells left to right). It then copies
// shownPanelText(frmMainDefinition(), reader, <whether a panel is visible>).
namespace tolvex::ui {

class PanelReader {
  public:
    virtual ~PanelReader() = default;
    // The text the label of that name shows now.
    virtual std::string labelText(std::string_view label) const = 0;
    // The selector's chosen item; empty when none is chosen.
    virtual std::string chosenItem(std::string_view selector) const = 0;
    // The rows of a list box or list view, top to bottom.
    virtual std::vector<std::vector<std::string>> rows(std::string_view list) const = 0;
};

// The panel's text, one line per item, each line ending in `lineEnd`: its
// heading; its count line and its selector ("Memory bank: BANK 0"); then, in
// the order they stand on the screen (top to bottom, left to right), each
// frame after an empty line as its caption and its "Caption: value" lines,
// the drive list as tab-separated rows under its column headers, and the IP
// list under its caption one address a line. Line breaks and tabs inside a
// text become spaces, so every value keeps to its line and cell.
std::string panelText(const WindowDefinition& window, std::string_view panel,
                      const PanelReader& reader, std::string_view lineEnd = "\n");

// The text of the panel shown now: the first of the window's panels, in the
// definitions' order, for which `shown` answers true; empty when none is.
std::string shownPanelText(const WindowDefinition& window, const PanelReader& reader,
                           const std::function<bool(std::string_view panel)>& shown,
                           std::string_view lineEnd = "\n");

// The caption that introduces an element on the screen ("Name:"), or the
// accessible name given to one no caption introduces; empty when neither.
std::string captionOf(const WindowDefinition& window, std::string_view element);

// "Caption: value", or the value alone under an empty caption.
std::string captionedValue(const std::string& caption, const std::string& value);

// The cells of one row joined by tabs, each cell's own tabs and line breaks
// made spaces.
std::string tabSeparated(const std::vector<std::string>& cells);

}  // namespace tolvex::ui
