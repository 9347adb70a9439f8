#include "ui/win32/Win32WindowSystem.h"

#include <commctrl.h>

#include <exception>
#include <vector>

#include "ui/win32/Copy.h"
#include "ui/win32/Resources.h"
#include "ui/win32/Text.h"
#include "wmi/Failure.h"

namespace tolvex::ui::win32 {

namespace {

constexpr const wchar_t* kMainClass = L"TolvexMain";
constexpr const wchar_t* kLoadingClass = L"TolvexLoading";
constexpr const wchar_t* kAboutClass = L"TolvexAbout";

// Posted when frmMain has become the active window: the activation handler
// runs once the window system has finished activating it, not inside that.
constexpr UINT kActivatedMessage = WM_APP + 1;

// Posted when a selector reports a pick (lParam: the selector): one user pick
// can report itself more than once (the list's choice, the selection's
// change), and the click is raised once for all of them.
constexpr UINT kPickMessage = WM_APP + 2;

// The failure of an operation on an element that cannot take it, worded as
// the window system words it.
[[noreturn]] void invalidProperty(std::string_view name) {
    throw Failure("Invalid property value: " + std::string(name));
}

// The index of a control-array name: 3 for "mnuFileItem(3)".
int arrayIndex(const std::string& name) {
    const auto open = name.find('(');
    return open == std::string::npos ? 0 : std::atoi(name.c_str() + open + 1);
}

// Moves `window` so that its centre is the centre of `area`.
void centreOn(HWND window, const RECT& area) {
    RECT rect;
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const int left = area.left + (area.right - area.left - width) / 2;
    const int top = area.top + (area.bottom - area.top - height) / 2;
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT workArea(HWND window) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    return monitor.rcWork;
}

// Gives the window a client area of exactly `width` by `height` pixels,
// whatever its frame and menu bar (which may wrap) take.
void fitClientArea(HWND window, int width, int height) {
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
    RECT rect{0, 0, width, height};
    AdjustWindowRectEx(&rect, style, GetMenu(window) != nullptr, exStyle);
    SetWindowPos(window, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (int attempt = 0; attempt < 3; ++attempt) {
        RECT client, outer;
        GetClientRect(window, &client);
        GetWindowRect(window, &outer);
        const int dx = width - client.right;
        const int dy = height - client.bottom;
        if (dx == 0 && dy == 0) {
            return;
        }
        SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left + dx,
                     outer.bottom - outer.top + dy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

DWORD fixedWindowStyle(bool minimizeBox) {
    return WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN |
           (minimizeBox ? WS_MINIMIZEBOX : 0);
}

}  // namespace

Win32WindowSystem::Win32WindowSystem(HINSTANCE instance) : m_instance(instance) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES;
    InitCommonControlsEx(&controls);
    registerContainerClass(instance);

    m_bigIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXICON),
                                              GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    m_smallIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource),
                                                IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    // The classes carry no icon: each window gets this object's icons (which
    // go with it) through WM_SETICON, and the classes go with it too, so a
    // later window system registers them afresh.
    for (const wchar_t* name : {kMainClass, kLoadingClass, kAboutClass}) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = windowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = name;
        RegisterClassExW(&windowClass);
    }
    m_main = buildWindow(frmMainDefinition(), nullptr);
    ACCEL copy{FCONTROL | FVIRTKEY, 'C', kCopyCommand};
    m_accelerators = CreateAcceleratorTableW(&copy, 1);
}

Win32WindowSystem::~Win32WindowSystem() {
    m_about.reset();
    m_loading.reset();
    if (m_main) {
        // Destroying the window now is no unloading by the user: no event.
        SetWindowLongPtrW(m_main->window(), GWLP_USERDATA, 0);
        m_main.reset();
    }
    for (const wchar_t* name : {kMainClass, kLoadingClass, kAboutClass}) {
        UnregisterClassW(name, m_instance);
    }
    if (m_bigIcon) {
        DestroyIcon(m_bigIcon);
    }
    if (m_smallIcon) {
        DestroyIcon(m_smallIcon);
    }
    if (m_accelerators) {
        DestroyAcceleratorTable(m_accelerators);
    }
}

std::unique_ptr<WindowControls> Win32WindowSystem::buildWindow(const WindowDefinition& definition,
                                                               HWND owner) {
    const wchar_t* windowClass = definition.name == "frmMain"      ? kMainClass
                                 : definition.name == "frmLoading" ? kLoadingClass
                                                                   : kAboutClass;
    const DWORD exStyle = definition.name == "frmAbout" ? WS_EX_DLGMODALFRAME : 0;
    HWND window = CreateWindowExW(exStyle, windowClass, wide(definition.caption).c_str(),
                                  fixedWindowStyle(definition.minimizeBox), CW_USEDEFAULT,
                                  CW_USEDEFAULT, 100, 100, owner, nullptr, m_instance, this);
    if (!window) {
        throw Failure("Unable to create the window " + definition.name);
    }
    auto controls = std::make_unique<WindowControls>(window, definition, screenDpi());
    // Set on the window itself: a window with a modal dialog frame shows no
    // class icon in its title bar.
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_bigIcon));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon));
    // The menu is in place before the window's size is set, since the bar
    // takes from the window's height.
    if (!definition.menu.empty()) {
        buildMenu(*controls);
    }
    fitClientArea(window, scaled(definition.clientWidth, controls->dpi()),
                  scaled(definition.clientHeight, controls->dpi()));
    return controls;
}

void Win32WindowSystem::buildMenu(const WindowControls& controls) {
    HWND window = controls.window();
    HMENU bar = CreateMenu();
    std::map<std::string, HMENU> dropDowns;
    for (const MenuItem& item : controls.definition().menu) {
        const std::wstring caption = wide(item.caption);
        if (item.dropDown) {
            HMENU menu = CreatePopupMenu();
            AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(menu),
                        caption.c_str());
            dropDowns[item.name] = menu;
            continue;
        }
        const int base =
            item.name.rfind("mnuSections", 0) == 0 ? kSectionMenuCommand : kFileMenuCommand;
        const UINT_PTR command = static_cast<UINT_PTR>(base + arrayIndex(item.name));
        const auto owner = dropDowns.find(item.menu);
        HMENU menu = owner != dropDowns.end() ? owner->second : bar;
        if (item.caption == "-") {
            AppendMenuW(menu, MF_SEPARATOR, command, nullptr);
        } else {
            AppendMenuW(menu, MF_STRING, command, caption.c_str());
        }
    }
    SetMenu(window, bar);
}

HWND Win32WindowSystem::mainWindow() const {
    return m_main ? m_main->window() : nullptr;
}

HWND Win32WindowSystem::loadingWindow() const {
    return m_loading ? m_loading->window() : nullptr;
}

void Win32WindowSystem::setEvents(WindowEvents events) {
    m_events = std::move(events);
}

void Win32WindowSystem::showMainWindow() {
    HWND window = mainWindow();
    if (!window) {
        return;
    }
    centreOn(window, workArea(window));
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    // Asked for explicitly: where nothing hands out activation, the first
    // activation (and with it the start-up sequence) still comes.
    SetForegroundWindow(window);
    SetActiveWindow(window);
}

void Win32WindowSystem::closeMainWindow() {
    HWND window = mainWindow();
    if (!window || m_unloaded) {
        return;
    }
    m_unloaded = true;
    if (m_events.unloading) {
        m_events.unloading();
    }
    unloadLoadingWindow();
    DestroyWindow(window);
}

void Win32WindowSystem::ensureLoadingWindow() {
    if (!m_loading) {
        // Without an owner: it stands on its own on the task bar while the
        // main window waits behind it.
        m_loading = buildWindow(frmLoadingDefinition(), nullptr);
    }
}

void Win32WindowSystem::showLoadingWindow() {
    ensureLoadingWindow();
    HWND window = m_loading->window();
    centreOn(window, workArea(window));
    ShowWindow(window, SW_SHOW);
    // The sequence that follows does not return to the message loop: both
    // windows are painted now.
    if (HWND main = mainWindow()) {
        UpdateWindow(main);
    }
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

bool Win32WindowSystem::loadingWindowLoaded() const {
    return m_loading != nullptr;
}

void Win32WindowSystem::unloadLoadingWindow() {
    if (m_loading) {
        // Released first: the window's own messages while it goes no longer
        // reach this object.
        std::unique_ptr<WindowControls> loading = std::move(m_loading);
        SetWindowLongPtrW(loading->window(), GWLP_USERDATA, 0);
        loading.reset();
    }
}

void Win32WindowSystem::showAboutBox(const std::string& versionText) {
    HWND main = mainWindow();
    m_about = buildWindow(frmAboutDefinition(), main);
    HWND box = m_about->window();
    SetWindowTextW(m_about->find("lblVer"), wide(versionText).c_str());
    RECT over{};
    if (main && IsWindowVisible(main)) {
        GetWindowRect(main, &over);
    } else {
        over = workArea(box);
    }
    centreOn(box, over);

    // Modal: the main window takes no input while the box is open. However
    // the loop ends (the box closed, a quit, a handler's failure raised
    // again), the main window, if it still exists, is enabled before the box
    // goes, so that it, not another program, becomes the active window.
    if (main) {
        EnableWindow(main, FALSE);
    }
    struct Ending {
        Win32WindowSystem& self;
        ~Ending() {
            HWND main = self.mainWindow();
            if (main) {
                EnableWindow(main, TRUE);
            }
            self.m_about.reset();
            if (main) {
                SetActiveWindow(main);
            }
        }
    } ending{*this};
    m_aboutClosed = false;
    ShowWindow(box, SW_SHOW);
    // The hidden OK button is the one element that takes the focus.
    SetFocus(m_about->find("cmdCancel"));
    MSG message{};
    while (!m_aboutClosed) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            // The quit is the outer loop's too.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got < 0) {
            break;
        }
        const bool inBox = message.hwnd == box || IsChild(box, message.hwnd);
        if (inBox && message.message == WM_KEYDOWN &&
            (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE)) {
            m_aboutClosed = true;
            break;
        }
        if (!IsDialogMessageW(box, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        rethrowPending();
    }
}

template <class Function>
void Win32WindowSystem::guarded(Function&& function) {
    try {
        function();
    } catch (...) {
        // Carried past the window system's own code and raised again from
        // the message loop.
        if (!m_pendingFailure) {
            m_pendingFailure = std::current_exception();
        }
    }
}

void Win32WindowSystem::rethrowPending() {
    if (m_pendingFailure) {
        std::exception_ptr failure = m_pendingFailure;
        m_pendingFailure = nullptr;
        std::rethrow_exception(failure);
    }
}

int Win32WindowSystem::runEventLoop() {
    MSG message{};
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        HWND main = mainWindow();
        const bool inMain = main && (message.hwnd == main || IsChild(main, message.hwnd));
        if (inMain && TranslateAcceleratorW(main, m_accelerators, &message)) {
            rethrowPending();
            continue;
        }
        // Tab and the arrow keys move between the controls of the window.
        if (!(main && IsChild(main, message.hwnd) && IsDialogMessageW(main, &message))) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        rethrowPending();
    }
    return got < 0 ? 1 : static_cast<int>(message.wParam);
}

LRESULT CALLBACK Win32WindowSystem::windowProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32WindowSystem*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_SYSCOLORCHANGE || message == WM_SETTINGCHANGE || message == WM_THEMECHANGED) {
        // The system's colours, its high-contrast setting or its theme
        // changed: every window takes its colours anew and repaints.
        if (const WindowControls* controls = WindowControls::of(window)) {
            controls->followSystemColours();
        }
    }
    if (message == WM_NOTIFY) {
        // Tooltip texts and the drive list's own drawing are the controls'.
        const WindowControls* controls = WindowControls::of(window);
        LRESULT result = 0;
        if (controls && controls->notify(*reinterpret_cast<const NMHDR*>(lParam), result)) {
            return result;
        }
    }
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    if (lstrcmpW(className, kMainClass) == 0) {
        return self->mainProc(window, message, wParam, lParam);
    }
    if (lstrcmpW(className, kLoadingClass) == 0) {
        return self->loadingProc(window, message, wParam, lParam);
    }
    return self->aboutProc(window, message, wParam, lParam);
}

namespace {

// The brush (and text colour, set on the device context) a window's control
// asks for in a WM_CTLCOLOR* message; null where the control takes the
// system's.
HBRUSH colourAnswer(HWND window, WPARAM wParam, LPARAM lParam) {
    const WindowControls* controls = WindowControls::of(window);
    return controls
               ? controls->colours(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam))
               : nullptr;
}

}  // namespace

LRESULT Win32WindowSystem::mainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE) {
                PostMessageW(window, kActivatedMessage, 0, 0);
            }
            break;
        case kActivatedMessage:
            if (m_events.activated && !m_unloaded) {
                guarded(m_events.activated);
            }
            return 0;
        case kPickMessage: {
            HWND control = reinterpret_cast<HWND>(lParam);
            m_pendingPicks.erase(control);
            const Element* element = m_main ? m_main->elementOf(control) : nullptr;
            if (element) {
                const std::string name = element->name;
                guarded([&] { raiseClick(name); });
            }
            return 0;
        }
        case WM_COMMAND:
            if (lParam == 0) {
                onMenuCommand(window, HIWORD(wParam), LOWORD(wParam));
            } else {
                onControlCommand(window, reinterpret_cast<HWND>(lParam), HIWORD(wParam));
            }
            return 0;
        case WM_NOTIFY:
            onNotify(*reinterpret_cast<const NMHDR*>(lParam));
            return 0;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
            if (HBRUSH brush = colourAnswer(window, wParam, lParam)) {
                return reinterpret_cast<LRESULT>(brush);
            }
            break;
        case WM_CONTEXTMENU:
            if (m_main) {
                const POINT point{static_cast<short>(LOWORD(lParam)),
                                  static_cast<short>(HIWORD(lParam))};
                guarded([&] { showCopyMenu(*m_main, point); });
            }
            return 0;
        case WM_CLOSE:
            // Not while a modal box holds the program (the window is then
            // disabled): the box's caller is still running.
            if (IsWindowEnabled(window)) {
                guarded([&] { closeMainWindow(); });
            }
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            // The window and its controls are gone: their handles are no
            // longer used, and mainWindow() answers nullptr from now on.
            if (m_main && m_main->window() == window) {
                m_main->forgetWindow();
                m_main.reset();
            }
            m_pendingPicks.clear();
            break;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A menu's command (source 0) or an accelerator's (source 1).
void Win32WindowSystem::onMenuCommand(HWND window, WORD source, WORD command) {
    if (source == 1 && command == kCopyCommand) {
        // Ctrl+C: the value the user has selected, else the panel.
        guarded([&] { copyText(window, copiedByShortcut(*m_main)); });
        return;
    }
    if (source != 0) {
        return;
    }
    if (command > kSectionMenuCommand && command <= kSectionMenuCommand + 8) {
        if (m_events.sectionMenuClicked) {
            guarded([&] {
                m_events.sectionMenuClicked(
                    static_cast<std::int16_t>(command - kSectionMenuCommand));
            });
        }
    } else if (command > kFileMenuCommand && command < kSectionMenuCommand) {
        if (m_events.fileMenuClicked) {
            guarded([&] {
                m_events.fileMenuClicked(static_cast<std::int16_t>(command - kFileMenuCommand));
            });
        }
    }
}

void Win32WindowSystem::onControlCommand(HWND window, HWND control, WORD code) {
    const Element* element = m_main ? m_main->elementOf(control) : nullptr;
    if (element && element->kind == Kind::ComboBox) {
        // A pick from the open list, even of the item already chosen, or a
        // change by the arrow keys with the list closed.
        const bool dropped = SendMessageW(control, CB_GETDROPPEDSTATE, 0, 0) != 0;
        if ((code == CBN_SELENDOK || (code == CBN_SELCHANGE && !dropped)) &&
            m_pendingPicks.insert(control).second) {
            PostMessageW(window, kPickMessage, 0, reinterpret_cast<LPARAM>(control));
        }
    }
}

void Win32WindowSystem::onNotify(const NMHDR& header) {
    const Element* element = m_main ? m_main->elementOf(header.hwndFrom) : nullptr;
    if (element && element->kind == Kind::ListView && header.code == NM_CLICK) {
        // A click anywhere in the list, on a row or not.
        const std::string name = element->name;
        guarded([&] { raiseClick(name); });
    }
}

LRESULT Win32WindowSystem::loadingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            if (HBRUSH brush = colourAnswer(window, wParam, lParam)) {
                return reinterpret_cast<LRESULT>(brush);
            }
            break;
        case WM_CLOSE:
            unloadLoadingWindow();
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Win32WindowSystem::aboutProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            const int ok = m_about ? m_about->controlId("cmdCancel") : -1;
            if (id == IDOK || id == IDCANCEL || id == ok) {
                m_aboutClosed = true;
            }
            return 0;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            if (HBRUSH brush = colourAnswer(window, wParam, lParam)) {
                return reinterpret_cast<LRESULT>(brush);
            }
            break;
        case WM_CLOSE:
            m_aboutClosed = true;
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND Win32WindowSystem::anyControl(std::string_view name) const {
    if (m_main) {
        if (HWND found = m_main->find(name)) {
            return found;
        }
    }
    if (findElement(frmLoadingDefinition(), name)) {
        // Naming an element of frmLoading loads it.
        const_cast<Win32WindowSystem*>(this)->ensureLoadingWindow();
        return m_loading->find(name);
    }
    return nullptr;
}

HWND Win32WindowSystem::control(std::string_view name, Kind kind) const {
    HWND found = anyControl(name);
    const Element* element = nullptr;
    if (found) {
        element = m_main ? m_main->elementOf(found) : nullptr;
        if (!element && m_loading) {
            element = m_loading->elementOf(found);
        }
    }
    if (!element || element->kind != kind) {
        invalidProperty(name);
    }
    return found;
}

void Win32WindowSystem::setText(std::string_view field, const std::string& text) {
    HWND label = control(field, Kind::Label);
    SetWindowTextW(label, wide(text).c_str());
    if (m_loading && GetAncestor(label, GA_ROOT) == m_loading->window()) {
        // The progress text is on screen while the step runs, before control
        // returns to the message loop.
        RedrawWindow(m_loading->window(), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        GdiFlush();
    }
}

void Win32WindowSystem::setNullNote(std::string_view field, const std::string& note) {
    // Value fields are all in the main window.
    HWND label = control(field, Kind::Label);
    if (m_main && GetAncestor(label, GA_ROOT) == m_main->window()) {
        m_main->setNullNote(label, wide(note));
    }
}

std::string Win32WindowSystem::text(std::string_view field) const {
    return narrow(textOf(control(field, Kind::Label)));
}

void Win32WindowSystem::addItem(std::string_view selector, const std::string& text) {
    SendMessageW(control(selector, Kind::ComboBox), CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(wide(text).c_str()));
}

int Win32WindowSystem::itemCount(std::string_view selector) const {
    return static_cast<int>(SendMessageW(control(selector, Kind::ComboBox), CB_GETCOUNT, 0, 0));
}

int Win32WindowSystem::selectedIndex(std::string_view selector) const {
    const LRESULT index = SendMessageW(control(selector, Kind::ComboBox), CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? -1 : static_cast<int>(index);
}

void Win32WindowSystem::setSelectedIndex(std::string_view selector, int index) {
    HWND combo = control(selector, Kind::ComboBox);
    const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    if (index < -1 || index >= count) {
        invalidProperty(selector);
    }
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    raiseClick(selector);
}

void Win32WindowSystem::addListLine(std::string_view list, const std::string& text) {
    SendMessageW(control(list, Kind::ListBox), LB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(wide(text).c_str()));
}

int Win32WindowSystem::addRow(std::string_view listView, const std::string& firstColumn) {
    HWND view = control(listView, Kind::ListView);
    std::wstring text = wide(firstColumn);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageW(view, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = text.data();
    // A row the list refused (out of memory) is a failure: the next row's
    // texts must not land in the row before.
    const LRESULT inserted =
        SendMessageW(view, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    if (inserted < 0) {
        throw Failure("Out of memory");
    }
    return static_cast<int>(inserted) + 1;
}

void Win32WindowSystem::setRowText(std::string_view listView, int row, int column,
                                   const std::string& text) {
    HWND view = control(listView, Kind::ListView);
    const int rows = static_cast<int>(SendMessageW(view, LVM_GETITEMCOUNT, 0, 0));
    const int columns = static_cast<int>(driveColumns().size());
    if (row < 1 || row > rows || column < 2 || column > columns) {
        invalidProperty(listView);
    }
    std::wstring value = wide(text);
    LVITEMW item{};
    item.iSubItem = column - 1;
    item.pszText = value.data();
    SendMessageW(view, LVM_SETITEMTEXTW, static_cast<WPARAM>(row - 1),
                 reinterpret_cast<LPARAM>(&item));
}

int Win32WindowSystem::selectedRow(std::string_view listView) const {
    HWND view = control(listView, Kind::ListView);
    const LRESULT index =
        SendMessageW(view, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    return index < 0 ? 0 : static_cast<int>(index) + 1;
}

void Win32WindowSystem::messageBox(const std::string& text, const std::string& title, int style) {
    const std::wstring caption = wide(title.empty() ? std::string(kApplicationTitle) : title);
    // The icon bits of the style value; the box always has its one OK button.
    const UINT icon = static_cast<UINT>(style) & MB_ICONMASK;
    // The box holds the whole program until it is dismissed, as its caller
    // waits for it: it is owned by the About box or the main window (which
    // it disables), and the other windows (the progress window stands on
    // its own) are disabled with it. Before the main window is on screen
    // the box is task-modal, which disables every window of the program.
    HWND main = mainWindow();
    HWND about = m_about ? m_about->window() : nullptr;
    HWND owner = about ? about : (main && IsWindowVisible(main) ? main : nullptr);
    std::vector<HWND> disabled;
    if (owner) {
        for (HWND other : {main, loadingWindow()}) {
            if (other && other != owner && IsWindowEnabled(other)) {
                EnableWindow(other, FALSE);
                disabled.push_back(other);
            }
        }
    }
    MessageBoxW(owner, wide(text).c_str(), caption.c_str(),
                MB_OK | icon | MB_SETFOREGROUND | (owner ? 0 : MB_TASKMODAL));
    for (HWND other : disabled) {
        if (IsWindow(other)) {
            EnableWindow(other, TRUE);
        }
    }
}

void Win32WindowSystem::setVisible(std::string_view panel, bool visible) {
    HWND found = anyControl(panel);
    if (!found) {
        invalidProperty(panel);
    }
    ShowWindow(found, visible ? SW_SHOW : SW_HIDE);
}

bool Win32WindowSystem::isVisible(std::string_view panel) const {
    HWND found = anyControl(panel);
    if (!found) {
        invalidProperty(panel);
    }
    return (GetWindowLongPtrW(found, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Win32WindowSystem::setClickHandler(std::string_view element, std::function<void()> handler) {
    m_handlers[std::string(element)] = std::move(handler);
}

void Win32WindowSystem::raiseClick(std::string_view element) {
    const auto it = m_handlers.find(element);
    if (it != m_handlers.end() && it->second) {
        // A copy: the handler may replace itself while it runs.
        const std::function<void()> handler = it->second;
        handler();
    }
}

}  // namespace tolvex::ui::win32
