#pragma once

// The main window as a user reads it, as text, for comparing two front ends
// or two services: every label, every selector's items and choice, every
// list line and list-view cell, after the start-up sequence and after each
// item of each selector is chosen. The front end reads back its own
// controls through the reader it passes.

#include <functional>
#include <string>
#include <vector>

#include "ui/Screen.h"
#include "ui/ScreenDefinitions.h"

namespace tolvex::testing {

struct ControlReader {
    std::function<std::vector<std::string>(const std::string& selector)> items;
    std::function<std::vector<std::string>(const std::string& list)> lines;
    std::function<std::vector<std::vector<std::string>>(const std::string& listView)> rows;
};

inline std::string screenPicture(Screen& screen, const ControlReader& read) {
    std::string out;
    for (const auto& element : ui::frmMainDefinition().elements) {
        const std::string& name = element.name;
        switch (element.kind) {
            case ui::Kind::Label:
                out += name + " = " + screen.text(name) + "\n";
                break;
            case ui::Kind::ComboBox:
                for (const auto& item : read.items(name)) {
                    out += name + " item " + item + "\n";
                }
                out += name + " chosen " + std::to_string(screen.selectedIndex(name)) + "\n";
                break;
            case ui::Kind::ListBox:
                for (const auto& line : read.lines(name)) {
                    out += name + " line " + line + "\n";
                }
                break;
            case ui::Kind::ListView:
                for (const auto& row : read.rows(name)) {
                    out += name + " row";
                    for (const auto& cell : row) {
                        out += " | " + cell;
                    }
                    out += "\n";
                }
                break;
            default:
                break;
        }
    }
    return out;
}

// The picture after the start-up sequence, then after each selector item.
inline std::string walkedPicture(Screen& screen, const ControlReader& read) {
    std::string out = screenPicture(screen, read);
    for (const char* selector : {"cboCPUs", "cboMem", "cboNIC", "cboSCSI"}) {
        for (int k = 0; k < screen.itemCount(selector); ++k) {
            screen.setSelectedIndex(selector, k);
            out += std::string("-- ") + selector + " " + std::to_string(k) + "\n" +
                   screenPicture(screen, read);
        }
    }
    return out;
}

}  // namespace tolvex::testing
