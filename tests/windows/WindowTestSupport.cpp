#include "tests/windows/WindowTestSupport.h"

#include <cstdio>

#include "ui/win32/Text.h"

namespace tolvex::ui::win32::testing {

std::wstring className(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::string textOf(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return narrow(text);
}

std::string menuText(HMENU menu, int position) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, static_cast<UINT>(position), text, 128, MF_BYPOSITION);
    return narrow(text);
}

VersionRecord versionRecord(const std::wstring& file) {
    VersionRecord record;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (size == 0) {
        return record;
    }
    std::vector<unsigned char> data(size);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, data.data())) {
        return record;
    }
    const auto string = [&](const wchar_t* name) {
        std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        void* value = nullptr;
        UINT length = 0;
        if (VerQueryValueW(data.data(), key.c_str(), &value, &length) && length > 0) {
            return narrow(static_cast<const wchar_t*>(value));
        }
        return std::string();
    };
    record.fileVersion = string(L"FileVersion");
    record.productVersion = string(L"ProductVersion");
    record.productName = string(L"ProductName");
    void* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(data.data(), L"\\", &fixed, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
        const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
        char text[64];
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", HIWORD(info->dwFileVersionMS),
                      LOWORD(info->dwFileVersionMS), HIWORD(info->dwFileVersionLS),
                      LOWORD(info->dwFileVersionLS));
        record.fixedFileVersion = text;
    }
    return record;
}

namespace {

struct Watch {
    const std::function<bool()>* watch;
    int ticksLeft;
    bool done;
};
Watch* g_watch = nullptr;

void CALLBACK onTick(HWND, UINT, UINT_PTR, DWORD) {
    if (!g_watch || g_watch->done) {
        return;
    }
    if ((*g_watch->watch)()) {
        g_watch->done = true;
    } else if (--g_watch->ticksLeft <= 0) {
        g_watch->done = true;
    }
}

}  // namespace

bool whileModal(const std::function<void()>& action, const std::function<bool()>& watch,
                int maxTicks) {
    Watch state{&watch, maxTicks, false};
    g_watch = &state;
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, onTick);
    // Also when the action throws: the watch lives on this frame.
    struct Stop {
        UINT_PTR timer;
        ~Stop() {
            KillTimer(nullptr, timer);
            g_watch = nullptr;
        }
    } stop{timer};
    action();
    return state.ticksLeft > 0;
}

std::vector<HWND> messageBoxes() {
    std::vector<HWND> boxes;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM found) -> BOOL {
            if (className(window) == L"#32770" && IsWindowVisible(window)) {
                reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

MessageBoxSeen readMessageBox(HWND box) {
    MessageBoxSeen seen;
    seen.title = textOf(box);
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring kind = className(child);
        const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
        if (kind == L"Static" && (style & SS_TYPEMASK) == SS_ICON) {
            seen.icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
            seen.hasIcon = seen.icon != nullptr && IsWindowVisible(child);
        } else if (kind == L"Static" && !textOf(child).empty()) {
            seen.text = textOf(child);
        } else if (kind == L"Button" && IsWindowVisible(child)) {
            seen.buttons.push_back(textOf(child));
        }
    }
    return seen;
}

void pressOk(HWND box) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}

bool pumpUntil(const std::function<bool()>& done, int maxMilliseconds) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(maxMilliseconds);
    const auto drain = [] {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    };
    bool held = false;
    while (true) {
        drain();
        held = done();
        if (held || GetTickCount64() >= deadline) {
            break;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    drain();
    return held;
}

void clickAt(POINT screenPoint) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT inputs[3] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = MulDiv(screenPoint.x, 65535, width - 1);
        input.mi.dy = MulDiv(screenPoint.y, 65535, height - 1);
        input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    }
    inputs[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    SendInput(3, inputs, sizeof(INPUT));
}

void pressKey(WORD virtualKey) {
    INPUT inputs[2] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = virtualKey;
    }
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

bool popupMenuShown() {
    HWND menu = FindWindowW(L"#32768", nullptr);
    return menu && IsWindowVisible(menu);
}

int paintedPixels(HWND control, COLORREF colour) {
    RECT rect;
    GetClientRect(control, &rect);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, rect.right, rect.bottom);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    int count = 0;
    for (int y = 0; y < rect.bottom; ++y) {
        for (int x = 0; x < rect.right; ++x) {
            count += GetPixel(dc, x, y) == colour;
        }
    }
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return count;
}

}  // namespace tolvex::ui::win32::testing
