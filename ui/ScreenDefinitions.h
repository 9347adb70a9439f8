#pragma once

#include <string>
#include <string_view>
#include <vector>

// The three windows of the program as data: one row per element, with its
// name, kind, parent, geometry in twips, caption or initial text, font and
// colour. The Qt builder turns these rows into widgets; nothing here depends
// on Qt so the rows can be checked on their own.
namespace tolvex::ui {

inline constexpr int kTwipsPerPixel = 15;

enum class Kind {
    Panel,     // borderless page, switched by the section menu
    Frame,     // single-line border, caption cutting into the top edge
    Label,     // static text or value field
    ComboBox,  // drop-down selector
    ListBox,
    ListView,  // report-style list with column headers
    Image,     // picture without border; the text is the resource path
    Button,
};

enum class FontRole {
    Regular,  // Verdana 8.25 pt
    Title,    // Verdana 9.75 pt bold
    Large,    // Verdana 9.75 pt regular
};

enum class ColourRole {
    Default,       // the window system's text colour
    Value,         // (0, 0, 192) value fields
    Count,         // (0, 128, 0) count lines
    FrameCaption,  // (128, 0, 128)
    Note,          // (192, 0, 0)
};

enum class Align { Left, Center };

struct Element {
    std::string name;
    Kind kind;
    std::string parent;  // empty: the window's client area
    int left;
    int top;
    int width;
    int height;
    std::string text;  // caption, initial text, or picture resource
    FontRole font = FontRole::Regular;
    ColourRole colour = ColourRole::Default;
    // A caption label names the field it stands in front of; that field
    // takes the caption as its accessible name.
    std::string buddy = {};
    Align align = Align::Left;
    bool wordWrap = false;
    // Drawn on an opaque background of the title-bar text colour.
    bool opaqueBackground = false;
    bool visible = true;
    // Accessible name of an element that no caption label introduces.
    std::string accessibleName = {};
};

struct MenuItem {
    std::string name;
    std::string caption;  // "-" is a separator
    std::string menu;     // empty: an item of the menu bar itself
    bool dropDown = false;
};

struct Column {
    std::string header;
    int width;  // twips
};

struct WindowDefinition {
    std::string name;
    std::string caption;
    int clientWidth;
    int clientHeight;
    bool minimizeBox;
    std::vector<Element> elements;
    std::vector<MenuItem> menu;
};

const WindowDefinition& frmMainDefinition();
const WindowDefinition& frmLoadingDefinition();
const WindowDefinition& frmAboutDefinition();

// The columns of the drive list view lvDrives, left to right.
const std::vector<Column>& driveColumns();

// The initial text of every value field.
inline constexpr std::string_view kInitialValue = "...";

// Names of the pictures in the program's resources.
inline constexpr const char* kWindowIcon = ":/tolvex/icon.svg";

// Twips to device-independent pixels, rounded to the nearest pixel.
constexpr int pixels(int twips) {
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                      : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

// The name of element `index` of a control array: "frSections(3)".
std::string arrayName(std::string_view array, int index);

// The value fields of a window, that is every label whose initial text is
// "..." (the count lines are not among them).
std::vector<const Element*> valueFields(const WindowDefinition& window);

// The element of that name, or nullptr.
const Element* findElement(const WindowDefinition& window, std::string_view name);

}  // namespace tolvex::ui
