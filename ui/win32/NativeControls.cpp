#include "ui/win32/NativeControls.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>
#include <cctype>

#include "ui/Contrast.h"
#include "ui/win32/Text.h"

namespace tolvex::ui::win32 {

namespace {

constexpr const wchar_t* kForwardProperty = L"Tolvex.Forward";
constexpr const wchar_t* kControlsProperty = L"Tolvex.Controls";

bool isForwarded(UINT message) {
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_DRAWITEM:
        case WM_MEASUREITEM:
            return true;
        default:
            return false;
    }
}

LRESULT forward(HWND container, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND root = GetAncestor(container, GA_ROOT);
    return root && root != container ? SendMessageW(root, message, wParam, lParam) : 0;
}

LRESULT CALLBACK panelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (isForwarded(message)) {
        return forward(window, message, wParam, lParam);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Draws a frame: a single etched border whose top edge the caption cuts
// into, the caption in the colour the window answers for it. Drawn here
// rather than by the button class, which under some versions (Wine's
// among them) draws group box captions in the default colour whatever the
// answer.
void paintFrame(HWND window, HDC dc) {
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    const auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    const HGDIOBJ previousFont = font ? SelectObject(dc, font) : nullptr;
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const std::wstring caption = textOf(window);

    RECT border = client;
    if (!caption.empty()) {
        border.top += metrics.tmHeight / 2;
    }
    DrawEdge(dc, &border, EDGE_ETCHED, BF_RECT);
    if (!caption.empty()) {
        const auto brush = reinterpret_cast<HBRUSH>(forward(window, WM_CTLCOLORSTATIC,
                                                            reinterpret_cast<WPARAM>(dc),
                                                            reinterpret_cast<LPARAM>(window)));
        SIZE size{};
        GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
        RECT captionRect{8, 0, 8 + size.cx, metrics.tmHeight};
        FillRect(dc, &captionRect, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &captionRect,
                  DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    }
    if (previousFont) {
        SelectObject(dc, previousFont);
    }
}

// A frame is a group box that holds its fields: the button class would keep
// its children's reports to itself and leave its inside unpainted.
LRESULT CALLBACK frameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto original = reinterpret_cast<WNDPROC>(GetPropW(window, kForwardProperty));
    if (isForwarded(message)) {
        return forward(window, message, wParam, lParam);
    }
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // painted whole in WM_PAINT
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            paintFrame(window, dc);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_PRINTCLIENT:
            paintFrame(window, reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_SETTEXT:
        case WM_ENABLE: {
            // The button class paints at once on these; the frame paints
            // itself when asked.
            const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
            InvalidateRect(window, nullptr, TRUE);
            return result;
        }
        default:
            break;
    }
    if (message == WM_NCDESTROY) {
        RemovePropW(window, kForwardProperty);
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    }
    return CallWindowProcW(original, window, message, wParam, lParam);
}

bool faceInstalled(const wchar_t* face) {
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(query.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(
        screen, &query,
        [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM foundFlag) -> int {
            *reinterpret_cast<bool*>(foundFlag) = true;
            return 0;
        },
        reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

HFONT makeFont(FontRole role, int dpi) {
    LOGFONTW font{};
    font.lfHeight = fontHeight(role, dpi);
    font.lfWeight = role == FontRole::Title ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = CLEARTYPE_QUALITY;
    lstrcpynW(font.lfFaceName, screenFace().c_str(), LF_FACESIZE);
    return CreateFontIndirectW(&font);
}

std::wstring upperResourceName(std::string_view base) {
    std::wstring name;
    for (const char c : base) {
        name.push_back(
            c == '-' ? L'_' : static_cast<wchar_t>(std::toupper(static_cast<unsigned char>(c))));
    }
    return name;
}

bool isIcon(HINSTANCE instance, const Element& element) {
    return FindResourceW(instance, pictureResource(element.text).c_str(),
                         MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */) != nullptr;
}

// A device context of `control` with its font selected, released at the end.
class ControlDc {
  public:
    explicit ControlDc(HWND control) : m_control(control), m_dc(GetDC(control)) {
        const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        m_previous = font ? SelectObject(m_dc, font) : nullptr;
    }
    ~ControlDc() {
        if (m_previous) {
            SelectObject(m_dc, m_previous);
        }
        ReleaseDC(m_control, m_dc);
    }
    ControlDc(const ControlDc&) = delete;
    ControlDc& operator=(const ControlDc&) = delete;
    HDC get() const { return m_dc; }
    int width(const std::wstring& text) const {
        SIZE size{};
        GetTextExtentPoint32W(m_dc, text.c_str(), static_cast<int>(text.size()), &size);
        return size.cx;
    }

  private:
    HWND m_control;
    HDC m_dc;
    HGDIOBJ m_previous = nullptr;
};

// Whether a label cuts its text off: a label of one line (SS_CENTERIMAGE or
// no word wrap) by its width, a label that wraps by its height.
bool labelClipped(HWND label, const std::wstring& text) {
    RECT client;
    GetClientRect(label, &client);
    const LONG_PTR style = GetWindowLongPtrW(label, GWL_STYLE);
    const ControlDc dc(label);
    if ((style & SS_CENTERIMAGE) || (style & SS_TYPEMASK) == SS_LEFTNOWORDWRAP) {
        return text.find_first_of(L"\r\n") != std::wstring::npos || dc.width(text) > client.right;
    }
    RECT needed{0, 0, client.right, 0};
    DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &needed,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
    return needed.bottom > client.bottom || needed.right > client.right;
}

// The space a list view leaves either side of a cell's text.
int cellPadding(int dpi) {
    return scaled(90, dpi);
}

// The cell of the list view under the pointer: row and column, or -1.
std::pair<int, int> cellUnderPointer(HWND view) {
    LVHITTESTINFO hit{};
    GetCursorPos(&hit.pt);
    ScreenToClient(view, &hit.pt);
    if (SendMessageW(view, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)) < 0 ||
        !(hit.flags & LVHT_ONITEM)) {
        return {-1, -1};
    }
    return {hit.iItem, hit.iSubItem};
}

// The drive list's tooltip follows the pointer from cell to cell: when the
// pointer enters another cell the tip goes and is asked for anew.
LRESULT CALLBACK listViewTipProc(HWND view, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR tooltip) {
    if (message == WM_MOUSEMOVE) {
        const auto cell = cellUnderPointer(view);
        auto* last = static_cast<std::pair<int, int>*>(GetPropW(view, L"Tolvex.TipCell"));
        if (last && cell != *last) {
            *last = cell;
            SendMessageW(reinterpret_cast<HWND>(tooltip), TTM_ACTIVATE, FALSE, 0);
            SendMessageW(reinterpret_cast<HWND>(tooltip), TTM_ACTIVATE, TRUE, 0);
        }
    } else if (message == WM_NCDESTROY) {
        delete static_cast<std::pair<int, int>*>(RemovePropW(view, L"Tolvex.TipCell"));
        RemoveWindowSubclass(view, listViewTipProc, 1);
    }
    return DefSubclassProc(view, message, wParam, lParam);
}

}  // namespace

std::wstring textOf(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

std::wstring cellText(HWND view, int row, int column) {
    // The list view tells how much it copied, not how long the text is: a
    // copy that fills the buffer may have been cut, so it is read again
    // into one twice the size (up to a million characters, far past any
    // path a cell shows).
    constexpr std::size_t kLongest = std::size_t{1} << 20;
    std::wstring text(256, L'\0');
    for (;;) {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = text.data();
        item.cchTextMax = static_cast<int>(text.size());
        const auto length = SendMessageW(view, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                                         reinterpret_cast<LPARAM>(&item));
        if (length + 1 < static_cast<LRESULT>(text.size()) || text.size() >= kLongest) {
            text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
            return text;
        }
        text.resize(text.size() * 2);
    }
}

std::wstring elideMiddle(const std::wstring& text,
                         const std::function<bool(const std::wstring&)>& fits) {
    if (fits(text)) {
        return text;
    }
    constexpr const wchar_t* kEllipsis = L"\u2026";
    constexpr const wchar_t* kSeparators = L"/\\";
    const std::size_t last = text.find_last_of(kSeparators);
    if (last != std::wstring::npos && last > 0 && last + 1 < text.size()) {
        // As many whole leading parts as fit, then the last part.
        const std::wstring tail = kEllipsis + text.substr(last);
        for (std::size_t cut = text.find_last_of(kSeparators, last - 1); cut != std::wstring::npos;
             cut = cut == 0 ? std::wstring::npos : text.find_last_of(kSeparators, cut - 1)) {
            const std::wstring candidate = text.substr(0, cut + 1) + tail;
            if (fits(candidate)) {
                return candidate;
            }
        }
    }
    // Characters from both ends, the most that fit.
    for (std::size_t keep = text.size() - 1; keep > 0; --keep) {
        const std::size_t front = (keep + 1) / 2;
        const std::wstring candidate =
            text.substr(0, front) + kEllipsis + text.substr(text.size() - (keep - front));
        if (fits(candidate)) {
            return candidate;
        }
    }
    return kEllipsis;
}

int scaled(int twips, int dpi) {
    return MulDiv(twips, dpi, 1440);
}

int screenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) {
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? dpi : 96;
}

const std::wstring& screenFace() {
    static const std::wstring face = [] {
        for (const wchar_t* candidate : {L"Verdana", L"DejaVu Sans"}) {
            if (faceInstalled(candidate)) {
                return std::wstring(candidate);
            }
        }
        return std::wstring(L"Tahoma");
    }();
    return face;
}

int fontHeight(FontRole role, int dpi) {
    // 8.25 and 9.75 points; 72 points to the inch.
    const int hundredthsOfPoint = role == FontRole::Regular ? 825 : 975;
    return -MulDiv(hundredthsOfPoint, dpi, 7200);
}

COLORREF roleColour(ColourRole role) {
    switch (role) {
        case ColourRole::Value:
            return RGB(0, 0, 192);
        case ColourRole::Count:
            return RGB(0, 128, 0);
        case ColourRole::FrameCaption:
            return RGB(128, 0, 128);
        case ColourRole::Note:
            return RGB(192, 0, 0);
        case ColourRole::Default:
            break;
    }
    return GetSysColor(COLOR_BTNTEXT);
}

bool highContrastOn() {
    HIGHCONTRASTW setting{};
    setting.cbSize = sizeof setting;
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof setting, &setting, 0) &&
           (setting.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

ElementColours elementColours(const Element& element) {
    const bool list = element.kind == Kind::ListBox || element.kind == Kind::ListView;
    if (highContrastOn()) {
        if (list || element.opaqueBackground) {
            return {COLOR_WINDOW, GetSysColor(COLOR_WINDOWTEXT)};
        }
        return {COLOR_BTNFACE, GetSysColor(COLOR_BTNTEXT)};
    }
    // The About box's version label stands on the light colour of text on
    // a highlight, as the Qt screens draw it: the title-bar text colour is
    // black on current Windows and under Wine, where the dark green would
    // not read.
    const int background = list                       ? COLOR_WINDOW
                           : element.opaqueBackground ? COLOR_HIGHLIGHTTEXT
                                                      : COLOR_BTNFACE;
    if (element.colour == ColourRole::Default) {
        return {background, GetSysColor(list ? COLOR_WINDOWTEXT : COLOR_BTNTEXT)};
    }
    const COLORREF designed = roleColour(element.colour);
    const COLORREF behind = GetSysColor(background);
    const Rgb shown =
        fixedTextColourOn({GetRValue(designed), GetGValue(designed), GetBValue(designed)},
                          {GetRValue(behind), GetGValue(behind), GetBValue(behind)});
    return {background, RGB(shown.r, shown.g, shown.b)};
}

std::wstring pictureResource(std::string_view text) {
    const auto slash = text.rfind('/');
    std::string_view base = slash == std::string_view::npos ? text : text.substr(slash + 1);
    const auto dot = base.rfind('.');
    if (dot != std::string_view::npos) {
        base = base.substr(0, dot);
    }
    return upperResourceName(base);
}

void registerContainerClass(HINSTANCE instance) {
    WNDCLASSEXW panel{};
    panel.cbSize = sizeof panel;
    panel.lpfnWndProc = panelProc;
    panel.hInstance = instance;
    panel.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    panel.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    panel.lpszClassName = kPanelClass;
    RegisterClassExW(&panel);  // fails harmlessly when already registered
}

WindowControls::WindowControls(HWND window, const WindowDefinition& definition, int dpi)
    : m_window(window), m_definition(definition), m_dpi(dpi) {
    SetPropW(window, kControlsProperty, this);
    for (const FontRole role : {FontRole::Regular, FontRole::Title, FontRole::Large}) {
        m_fonts[role] = makeFont(role, dpi);
    }
    int id = kFirstControlId;
    for (const Element& element : definition.elements) {
        HWND parent = window;
        if (!element.parent.empty()) {
            if (HWND found = find(element.parent)) {
                parent = found;
            }
        }
        if (HWND control = create(element, parent, id)) {
            m_controls.emplace(element.name, control);
            m_elements.emplace(control, &element);
            m_ids.emplace(element.name, id);
        }
        ++id;
    }
    addTooltips();
    // Where a label's box touches a field beside it (a caption above a list
    // or selector, a pixel apart), the field lies above it and the label,
    // clipped by its siblings, never paints over the field's border. Raised
    // last first, the fields keep their order (the tab order) among
    // themselves.
    for (auto element = definition.elements.rbegin(); element != definition.elements.rend();
         ++element) {
        const bool field = element->kind == Kind::ComboBox || element->kind == Kind::ListBox ||
                           element->kind == Kind::ListView || element->kind == Kind::Button;
        if (HWND control = find(element->name); control && field) {
            SetWindowPos(control, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
    // Pictures lie under whatever overlaps them (the About box's version
    // label lies over its picture); the other elements keep their order.
    for (const auto& [control, element] : m_elements) {
        if (element->kind == Kind::Image) {
            SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
}

WindowControls::~WindowControls() {
    // The controls go with their window; the fonts and pictures they use are
    // released after it.
    if (m_window && IsWindow(m_window)) {
        RemovePropW(m_window, kControlsProperty);
        DestroyWindow(m_window);
    }
    for (auto& [role, font] : m_fonts) {
        DeleteObject(font);
    }
    for (HGDIOBJ picture : m_pictures) {
        DeleteObject(picture);
    }
    for (HICON icon : m_icons) {
        DestroyIcon(icon);
    }
}

void WindowControls::forgetWindow() {
    if (m_window) {
        RemovePropW(m_window, kControlsProperty);
    }
    m_window = nullptr;
    m_tooltip = nullptr;  // owned by the window, gone with it
    m_controls.clear();
    m_elements.clear();
}

const WindowControls* WindowControls::of(HWND window) {
    return static_cast<const WindowControls*>(GetPropW(window, kControlsProperty));
}

HWND WindowControls::find(std::string_view name) const {
    const auto it = m_controls.find(name);
    return it == m_controls.end() ? nullptr : it->second;
}

const Element* WindowControls::elementOf(HWND control) const {
    const auto it = m_elements.find(control);
    return it == m_elements.end() ? nullptr : it->second;
}

int WindowControls::controlId(std::string_view name) const {
    const auto it = m_ids.find(name);
    return it == m_ids.end() ? 0 : it->second;
}

namespace {

// The window class and styles a control of `element`'s kind is created
// with, and whether it is created with the element's text.
struct ControlKind {
    const wchar_t* windowClass = WC_STATICW;
    DWORD style = 0;
    DWORD exStyle = 0;
    bool withText = true;
};

ControlKind controlKind(const Element& element, HINSTANCE instance) {
    switch (element.kind) {
        case Kind::Panel:
            return {kPanelClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, false};
        case Kind::Frame:
            return {WC_BUTTONW, BS_GROUPBOX | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, true};
        case Kind::Label: {
            // Every text shows as it stands: "&" is no mnemonic. A label of
            // one line is centred on its height, as a single-line field is.
            // SS_NOTIFY: the label takes the pointer (for its tooltip and
            // its context menu) rather than leaving it to what lies below.
            DWORD style =
                SS_NOPREFIX | SS_NOTIFY | (element.align == Align::Center ? SS_CENTER : SS_LEFT);
            if (!element.wordWrap) {
                style |= SS_CENTERIMAGE;
                if (element.align == Align::Left) {
                    style = (style & ~static_cast<DWORD>(SS_TYPEMASK)) | SS_LEFTNOWORDWRAP;
                }
            }
            return {WC_STATICW, style, 0, true};
        }
        case Kind::ComboBox:
            return {WC_COMBOBOXW, CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 0,
                    false};
        case Kind::ListBox:
            return {WC_LISTBOXW, LBS_NOINTEGRALHEIGHT | LBS_NOTIFY | WS_VSCROLL | WS_TABSTOP,
                    WS_EX_CLIENTEDGE, false};
        case Kind::ListView:
            return {WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP,
                    WS_EX_CLIENTEDGE, false};
        case Kind::Image:
            // Icons keep their transparent parts; the large pictures are
            // bitmaps. Either is scaled to the control.
            return {WC_STATICW,
                    SS_REALSIZECONTROL |
                        static_cast<DWORD>(isIcon(instance, element) ? SS_ICON : SS_BITMAP),
                    0, false};
        case Kind::Button:
            return {WC_BUTTONW, BS_DEFPUSHBUTTON | WS_TABSTOP, 0, true};
    }
    return {};
}

// No theme: the frame draws itself (frameProc), in the caption colour the
// window answers with.
void drawFrameItself(HWND frame) {
    SetWindowTheme(frame, L"", L"");
    const LONG_PTR original =
        SetWindowLongPtrW(frame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(frameProc));
    SetPropW(frame, kForwardProperty, reinterpret_cast<HANDLE>(original));
}

// The edit field shows the chosen item; typing in it chooses nothing, so it
// takes no typing.
void refuseTyping(HWND combo) {
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (GetComboBoxInfo(combo, &info) && info.hwndItem) {
        SendMessageW(info.hwndItem, EM_SETREADONLY, TRUE, 0);
    }
}

void addDriveColumns(HWND view, int dpi) {
    int index = 0;
    for (const Column& column : driveColumns()) {
        std::wstring header = wide(column.header);
        LVCOLUMNW lvColumn{};
        lvColumn.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
        lvColumn.fmt = LVCFMT_LEFT;
        lvColumn.cx = scaled(column.width, dpi);
        lvColumn.pszText = header.data();
        lvColumn.iSubItem = index;
        SendMessageW(view, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&lvColumn));
        ++index;
    }
}

}  // namespace

HWND WindowControls::create(const Element& element, HWND parent, int id) {
    const int height = scaled(element.height, m_dpi);
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(m_window, GWLP_HINSTANCE));
    const ControlKind kind = controlKind(element, instance);
    // Every control is clipped by the siblings above it, so none paints
    // over another where their boxes meet.
    const DWORD style =
        WS_CHILD | WS_CLIPSIBLINGS | (element.visible ? WS_VISIBLE : 0) | kind.style;
    const std::wstring text = kind.withText ? wide(element.text) : std::wstring();
    // A combo box is created with the height of its open list; its closed
    // height is fitted below.
    const int createHeight = element.kind == Kind::ComboBox ? height * 8 : height;
    HWND control = CreateWindowExW(
        kind.exStyle, kind.windowClass, text.c_str(), style, scaled(element.left, m_dpi),
        scaled(element.top, m_dpi), scaled(element.width, m_dpi), createHeight, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (control) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_fonts.at(element.font)),
                     FALSE);
        prepare(control, element, height);
    }
    return control;
}

void WindowControls::prepare(HWND control, const Element& element, int height) {
    switch (element.kind) {
        case Kind::Frame:
            drawFrameItself(control);
            break;
        case Kind::ComboBox:
            fitComboHeight(control, height);
            refuseTyping(control);
            break;
        case Kind::ListView:
            SendMessageW(control, LVM_SETEXTENDEDLISTVIEWSTYLE,
                         LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER,
                         LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
            applyListColours(control, element);
            addDriveColumns(control, m_dpi);
            break;
        case Kind::Image:
            setPicture(control, element);
            break;
        default:
            break;
    }
}

void WindowControls::fitComboHeight(HWND combo, int height) const {
    // The closed height is the selection field's height plus the border;
    // set the field so that the whole comes to `height`.
    for (int attempt = 0; attempt < 3; ++attempt) {
        RECT rect;
        GetWindowRect(combo, &rect);
        const int difference = height - (rect.bottom - rect.top);
        if (difference == 0) {
            return;
        }
        const LRESULT field = SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
        if (field == CB_ERR || field + difference <= 0) {
            return;
        }
        SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field + difference);
    }
}

void WindowControls::setPicture(HWND control, const Element& element) {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(m_window, GWLP_HINSTANCE));
    const std::wstring name = pictureResource(element.text);
    const int width = scaled(element.width, m_dpi);
    const int height = scaled(element.height, m_dpi);
    if (isIcon(instance, element)) {
        auto icon = static_cast<HICON>(
            LoadImageW(instance, name.c_str(), IMAGE_ICON, width, height, LR_DEFAULTCOLOR));
        if (icon) {
            SendMessageW(control, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
            m_icons.push_back(icon);
        }
    } else {
        auto bitmap = static_cast<HBITMAP>(
            LoadImageW(instance, name.c_str(), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
        if (bitmap) {
            SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
            m_pictures.push_back(bitmap);
        }
    }
    // Setting a picture may size the control to it; the geometry is the
    // definition's.
    SetWindowPos(control, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HBRUSH WindowControls::colours(HWND control, HDC dc) const {
    const Element* element = elementOf(control);
    if (!element) {
        // The edit field inside a selector: the colours of an ordinary
        // field, though it takes no typing.
        HWND parent = GetParent(control);
        const Element* owner = parent ? elementOf(parent) : nullptr;
        if (owner && owner->kind == Kind::ComboBox) {
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            return GetSysColorBrush(COLOR_WINDOW);
        }
        return nullptr;
    }
    switch (element->kind) {
        case Kind::Label:
        case Kind::Frame:
        case Kind::Image:
        case Kind::ListBox: {
            const ElementColours colours = elementColours(*element);
            SetTextColor(dc, colours.text);
            SetBkColor(dc, GetSysColor(colours.background));
            if (element->kind != Kind::ListBox) {
                SetBkMode(dc, element->opaqueBackground ? OPAQUE : TRANSPARENT);
            }
            return GetSysColorBrush(colours.background);
        }
        default:
            return nullptr;
    }
}

void WindowControls::applyListColours(HWND control, const Element& element) const {
    const ElementColours colours = elementColours(element);
    SendMessageW(control, LVM_SETTEXTCOLOR, 0, colours.text);
    SendMessageW(control, LVM_SETTEXTBKCOLOR, 0, GetSysColor(colours.background));
    SendMessageW(control, LVM_SETBKCOLOR, 0, GetSysColor(colours.background));
}

void WindowControls::followSystemColours() const {
    for (const auto& [control, element] : m_elements) {
        // The common controls take the new colours when told (their header
        // and scroll bars among them).
        SendMessageW(control, WM_SYSCOLORCHANGE, 0, 0);
        if (element->kind == Kind::ListView) {
            applyListColours(control, *element);
        }
    }
    RedrawWindow(m_window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void WindowControls::addTooltips() {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(m_window, GWLP_HINSTANCE));
    m_tooltip =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, m_window, nullptr, instance, nullptr);
    if (!m_tooltip) {
        return;
    }
    // Long texts wrap at about the width of a panel.
    SendMessageW(m_tooltip, TTM_SETMAXTIPWIDTH, 0, scaled(5400, m_dpi));
    for (const auto& [control, element] : m_elements) {
        // The labels the program writes (values and counts) and the drive
        // list; the captions and headings are fixed texts that fit. Each
        // tool watches its control's mouse messages, which under Wine costs
        // about 0.15 ms a control.
        const bool written =
            element->kind == Kind::Label &&
            (element->colour == ColourRole::Value || element->colour == ColourRole::Count);
        if (!written && element->kind != Kind::ListView) {
            continue;
        }
        // The text is asked for when the tip is to show (TTN_GETDISPINFOW):
        // whether a text is cut off depends on the text of that moment.
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = m_window;
        tool.uId = reinterpret_cast<UINT_PTR>(control);
        tool.lpszText = LPSTR_TEXTCALLBACKW;
        SendMessageW(m_tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        if (element->kind == Kind::ListView) {
            SetPropW(control, L"Tolvex.TipCell", new std::pair<int, int>(-1, -1));
            SetWindowSubclass(control, listViewTipProc, 1, reinterpret_cast<DWORD_PTR>(m_tooltip));
        }
    }
}

std::wstring WindowControls::tooltipText(HWND control) const {
    const Element* element = elementOf(control);
    if (!element) {
        return {};
    }
    if (element->kind == Kind::Label) {
        return labelTooltip(control);
    }
    if (element->kind == Kind::ListView) {
        const auto [row, column] = cellUnderPointer(control);
        if (row < 0) {
            return {};
        }
        const std::wstring text = cellText(control, row, column);
        if (column == 0) {
            return shownFirstCell(control, row) != text ? text : std::wstring();
        }
        const int width = static_cast<int>(
            SendMessageW(control, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
        const ControlDc dc(control);
        return dc.width(text) + 2 * cellPadding(m_dpi) > width ? text : std::wstring();
    }
    return {};
}

void WindowControls::setNullNote(HWND label, std::wstring note) {
    if (note.empty()) {
        m_nullNotes.erase(label);
        return;
    }
    // The tooltip control breaks lines at CR LF.
    std::wstring lines;
    for (const wchar_t c : note) {
        lines += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
    }
    m_nullNotes[label] = std::move(lines);
}

std::wstring WindowControls::labelTooltip(HWND label) const {
    if (const auto note = m_nullNotes.find(label); note != m_nullNotes.end()) {
        return note->second;
    }
    // The whole text, where the label cuts it off.
    const std::wstring text = textOf(label);
    return !text.empty() && labelClipped(label, text) ? text : std::wstring();
}

std::wstring WindowControls::shownFirstCell(HWND view, int row) const {
    const int room =
        static_cast<int>(SendMessageW(view, LVM_GETCOLUMNWIDTH, 0, 0)) - 2 * cellPadding(m_dpi);
    const ControlDc dc(view);
    return elideMiddle(cellText(view, row, 0),
                       [&](const std::wstring& candidate) { return dc.width(candidate) <= room; });
}

LRESULT WindowControls::drawListView(NMLVCUSTOMDRAW& draw) const {
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            return CDRF_NOTIFYSUBITEMDRAW;
        case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
            break;
        default:
            return CDRF_DODEFAULT;
    }
    if (draw.iSubItem != 0) {
        return CDRF_DODEFAULT;
    }
    // The first column (the drive, or a mount point that may be a long
    // path) is shortened in its middle, so that its end stays in sight.
    HWND view = draw.nmcd.hdr.hwndFrom;
    const int row = static_cast<int>(draw.nmcd.dwItemSpec);
    RECT cell{};
    cell.left = LVIR_BOUNDS;
    SendMessageW(view, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
    cell.right = cell.left + static_cast<int>(SendMessageW(view, LVM_GETCOLUMNWIDTH, 0, 0));
    const bool selected =
        (SendMessageW(view, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) &
         LVIS_SELECTED) != 0;
    COLORREF text = static_cast<COLORREF>(SendMessageW(view, LVM_GETTEXTCOLOR, 0, 0));
    COLORREF background = static_cast<COLORREF>(SendMessageW(view, LVM_GETBKCOLOR, 0, 0));
    if (selected) {
        const bool focused = GetFocus() == view;
        text = GetSysColor(focused ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT);
        background = GetSysColor(focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
    }
    HDC dc = draw.nmcd.hdc;
    SetBkColor(dc, background);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &cell, nullptr, 0, nullptr);
    const std::wstring shown = shownFirstCell(view, row);
    RECT textRect = cell;
    InflateRect(&textRect, -cellPadding(m_dpi), 0);
    const auto font = reinterpret_cast<HFONT>(SendMessageW(view, WM_GETFONT, 0, 0));
    const HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
    SetTextColor(dc, text);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &textRect,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (previous) {
        SelectObject(dc, previous);
    }
    return CDRF_SKIPDEFAULT;
}

bool WindowControls::notify(const NMHDR& header, LRESULT& result) const {
    if (header.hwndFrom == m_tooltip && m_tooltip && header.code == TTN_GETDISPINFOW) {
        auto& info = const_cast<NMTTDISPINFOW&>(reinterpret_cast<const NMTTDISPINFOW&>(header));
        // Kept here: the tooltip reads the text after this answer.
        m_tooltipText = tooltipText(reinterpret_cast<HWND>(header.idFrom));
        info.lpszText = m_tooltipText.data();
        info.szText[0] = L'\0';
        info.hinst = nullptr;
        result = 0;
        return true;
    }
    const Element* element = elementOf(header.hwndFrom);
    if (element && element->kind == Kind::ListView && header.code == NM_CUSTOMDRAW) {
        result = drawListView(
            const_cast<NMLVCUSTOMDRAW&>(reinterpret_cast<const NMLVCUSTOMDRAW&>(header)));
        return true;
    }
    return false;
}

}  // namespace tolvex::ui::win32
