#pragma once

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/ScreenDefinitions.h"

namespace tolvex::ui::win32 {

// Twips to pixels at `dpi` dots per inch (1,440 twips to the inch), rounded
// to the nearest pixel.
int scaled(int twips, int dpi);

// The dots per inch of the screen the program runs on.
int screenDpi();

// The typeface of every text: Verdana, or where it is not installed (Wine on
// a Linux desktop) DejaVu Sans, else Tahoma.
const std::wstring& screenFace();

// The font height (negative: character height) of a role at `dpi`.
int fontHeight(FontRole role, int dpi);

// The text colour a role was designed in (for the light face the screens
// were drawn on); the default role takes the system's button text colour, as
// dialog texts do.
COLORREF roleColour(ColourRole role);

// Whether Windows' high-contrast setting is on: the screens then take the
// system's colours for every text and background.
bool highContrastOn();

// The colours an element is painted in: its background (a system colour
// index) and its text colour. In high contrast both are the system's own;
// otherwise the text is the role's colour, made readable against the actual
// background where that is not the light face it was designed for.
struct ElementColours {
    int background;
    COLORREF text;
};
ElementColours elementColours(const Element& element);

// The resource name of a picture named in a definition
// (":/tolvex/section-cpu.svg" gives "SECTION_CPU").
std::wstring pictureResource(std::string_view definitionText);

// A window's text (a control's caption or contents).
std::wstring textOf(HWND window);

// The text of a list view's cell (row and column from 0).
std::wstring cellText(HWND view, int row, int column);

// `text` shortened in its middle until `fits` accepts it: a path keeps its
// beginning up to a separator and its last part ("/mnt/…/python"),
// any other text as much of both ends as fits.
std::wstring elideMiddle(const std::wstring& text,
                         const std::function<bool(const std::wstring&)>& fits);

// The window classes of the containers (section panels and frames) pass what
// their children report (commands, notifications, colour questions) on to the
// top-level window, so one window procedure answers for a whole window.
void registerContainerClass(HINSTANCE instance);
inline constexpr const wchar_t* kPanelClass = L"TolvexPanel";

// The controls of one window, built from its definition inside the client
// area of `window`: every element becomes the Windows control of its kind,
// placed in its parent element at its geometry converted at `dpi`, with its
// text, font and colour. The fonts and pictures live as long as this object.
class WindowControls {
  public:
    WindowControls(HWND window, const WindowDefinition& definition, int dpi);
    ~WindowControls();
    WindowControls(const WindowControls&) = delete;
    WindowControls& operator=(const WindowControls&) = delete;

    HWND window() const { return m_window; }
    // The window has been destroyed (from its WM_NCDESTROY): this object no
    // longer touches it, and finds none of its controls.
    void forgetWindow();
    const WindowDefinition& definition() const { return m_definition; }
    int dpi() const { return m_dpi; }

    // The control of an element, or nullptr.
    HWND find(std::string_view name) const;
    // The element a control was built from, or nullptr.
    const Element* elementOf(HWND control) const;
    // The control identifier of an element's control (0 when unknown).
    int controlId(std::string_view name) const;

    // The controls built in `window`, or nullptr.
    static const WindowControls* of(HWND window);

    // The answer to a WM_CTLCOLOR* message from `control`: sets the text and
    // background colours on `dc` and returns the background brush, or nullptr
    // when the control keeps the system's colours.
    HBRUSH colours(HWND control, HDC dc) const;

    // Takes the colours anew after the system's colours or its high-contrast
    // setting changed (WM_SYSCOLORCHANGE, WM_SETTINGCHANGE) and repaints the
    // window; the common controls are told as well.
    void followSystemColours() const;

    // The tooltip control that shows clipped texts whole, and the tooltip of
    // a control: for a label the whole text where the label cuts it off, for
    // the drive list the whole text of the cell under the pointer where that
    // cell cuts it off; empty for none.
    HWND tooltip() const { return m_tooltip; }
    std::wstring tooltipText(HWND control) const;
    // A label's tip: what it says is decided here, for every label: why it
    // shows no value where the sections noted it, else its whole text where
    // the label cuts it off.
    std::wstring labelTooltip(HWND label) const;
    // Notes why a label shows no value (the reason and, on a line of its
    // own, what would bring the value back); an empty note removes it.
    void setNullNote(HWND label, std::wstring note);

    // The text the drive list shows in row `row` of its first column: the
    // drive or mount point, shortened in the middle to the column's width.
    std::wstring shownFirstCell(HWND view, int row) const;

    // Answers the notifications the controls themselves handle (tooltip
    // texts, the drive list's drawing of its first column): true with
    // `result` set when answered.
    bool notify(const NMHDR& header, LRESULT& result) const;

  private:
    HWND create(const Element& element, HWND parent, int id);
    // What a control of `element`'s kind needs once created: its own
    // drawing, its closed height, its columns, its picture.
    void prepare(HWND control, const Element& element, int height);
    void applyListColours(HWND control, const Element& element) const;
    void addTooltips();
    LRESULT drawListView(NMLVCUSTOMDRAW& draw) const;
    void fitComboHeight(HWND combo, int height) const;
    void setPicture(HWND control, const Element& element);

    HWND m_window;
    const WindowDefinition& m_definition;
    int m_dpi;
    std::map<FontRole, HFONT> m_fonts;
    std::map<std::string, HWND, std::less<>> m_controls;
    std::map<HWND, const Element*> m_elements;
    std::map<std::string, int, std::less<>> m_ids;
    std::vector<HGDIOBJ> m_pictures;
    std::vector<HICON> m_icons;
    HWND m_tooltip = nullptr;
    mutable std::wstring m_tooltipText;
    std::map<HWND, std::wstring> m_nullNotes;
};

// The first control identifier; element k of a definition gets kFirstControlId + k.
inline constexpr int kFirstControlId = 1000;

}  // namespace tolvex::ui::win32
