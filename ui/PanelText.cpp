#include "ui/PanelText.h"

#include <algorithm>

namespace tolvex::ui {

namespace {

std::string oneLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; }, ' ');
    return text;
}

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

class PanelWriter {
  public:
    PanelWriter(const WindowDefinition& window, const PanelReader& reader, std::string_view lineEnd)
        : m_window(window), m_reader(reader), m_lineEnd(lineEnd) {}

    void line(const std::string& text) {
        m_text += text;
        m_text += m_lineEnd;
    }

    // The children of `parent` in screen order, frames and lists with
    // everything they hold.
    void children(std::string_view parent) {
        std::vector<const Element*> inside;
        for (const Element& element : m_window.elements) {
            if (element.parent == parent) {
                inside.push_back(&element);
            }
        }
        std::stable_sort(inside.begin(), inside.end(), [](const Element* a, const Element* b) {
            return a->top != b->top ? a->top < b->top : a->left < b->left;
        });
        for (const Element* element : inside) {
            write(*element);
        }
    }

    std::string text() && { return std::move(m_text); }

  private:
    void write(const Element& element) {
        switch (element.kind) {
            case Kind::Label:
                if (element.font == FontRole::Title || element.colour == ColourRole::Count) {
                    line(oneLine(m_reader.labelText(element.name)));
                } else if (element.colour == ColourRole::Value) {
                    line(captionedValue(captionOf(m_window, element.name),
                                        oneLine(m_reader.labelText(element.name))));
                }
                // Captions stand with their fields; notes and prompts carry
                // nothing of the machine.
                break;
            case Kind::ComboBox:
                line(captionedValue(captionOf(m_window, element.name),
                                    oneLine(m_reader.chosenItem(element.name))));
                break;
            case Kind::Frame:
                line("");
                line(trimmed(element.text));
                children(element.name);
                break;
            case Kind::ListBox: {
                line("");
                if (const std::string caption = captionOf(m_window, element.name);
                    !caption.empty()) {
                    line(caption);
                }
                for (const auto& row : m_reader.rows(element.name)) {
                    line(tabSeparated(row));
                }
                break;
            }
            case Kind::ListView: {
                line("");
                std::vector<std::string> headers;
                for (const Column& column : driveColumns()) {
                    headers.push_back(column.header);
                }
                line(tabSeparated(headers));
                for (const auto& row : m_reader.rows(element.name)) {
                    line(tabSeparated(row));
                }
                break;
            }
            case Kind::Panel:
            case Kind::Image:
            case Kind::Button:
                break;
        }
    }

    const WindowDefinition& m_window;
    const PanelReader& m_reader;
    std::string_view m_lineEnd;
    std::string m_text;
};

}  // namespace

std::string panelText(const WindowDefinition& window, std::string_view panel,
                      const PanelReader& reader, std::string_view lineEnd) {
    PanelWriter writer(window, reader, lineEnd);
    writer.children(panel);
    return std::move(writer).text();
}

std::string shownPanelText(const WindowDefinition& window, const PanelReader& reader,
                           const std::function<bool(std::string_view panel)>& shown,
                           std::string_view lineEnd) {
    for (const Element& element : window.elements) {
        if (element.kind == Kind::Panel && shown(element.name)) {
            return panelText(window, element.name, reader, lineEnd);
        }
    }
    return {};
}

std::string captionOf(const WindowDefinition& window, std::string_view element) {
    for (const Element& caption : window.elements) {
        if (caption.buddy == element) {
            return caption.text;
        }
    }
    const Element* found = findElement(window, element);
    return found ? found->accessibleName : std::string();
}

std::string captionedValue(const std::string& caption, const std::string& value) {
    return caption.empty() ? value : caption + " " + value;
}

std::string tabSeparated(const std::vector<std::string>& cells) {
    std::string row;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) {
            row += '\t';
        }
        row += oneLine(cells[i]);
    }
    return row;
}

}  // namespace tolvex::ui
