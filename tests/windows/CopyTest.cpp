// Copying from the native main window: Ctrl+C through the program's message
// loop and the context menu, read back from the clipboard.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>

#include "tests/windows/WindowTestSupport.h"
#include "ui/win32/Text.h"
#include "ui/win32/Win32WindowSystem.h"

namespace tolvex::ui::win32 {
namespace {

std::string clipboardText() {
    if (!OpenClipboard(nullptr)) {
        return "(clipboard not available)";
    }
    std::string text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = narrow(chars);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

void emptyClipboard() {
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

std::string menuItem(HMENU menu, int position) {
    wchar_t text[64] = {};
    GetMenuStringW(menu, static_cast<UINT>(position), text, 64, MF_BYPOSITION);
    const UINT state = GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION);
    return narrow(text) + ((state & MF_GRAYED) ? " (greyed)" : "");
}

class WinCopy : public ::testing::Test {
  protected:
    void SetUp() override {
        screen.setText("lblOSName", "Debian GNU/Linux 12 (bookworm)");
        screen.setText("lblOSSerial", "3d1219c7c4c5404aaa1f6d2a48adf");
        system.showMainWindow();
        emptyClipboard();
    }
    HWND find(const char* name) const { return system.mainControls().find(name); }
    void showPanel(int index) {
        for (int i = 0; i < 8; ++i) {
            screen.setVisible(arrayName("frSections", i), i == index);
        }
    }

    // Ctrl+C pressed in the control that has the focus, as the program's
    // message loop receives it.
    void pressCtrlC() {
        BYTE keys[256];
        GetKeyboardState(keys);
        const BYTE control = keys[VK_CONTROL];
        keys[VK_CONTROL] = 0x80;
        SetKeyboardState(keys);
        HWND focus = GetFocus();
        PostMessageW(focus, WM_KEYDOWN, 'C', 0x002E0001);
        PostMessageW(focus, WM_KEYUP, 'C', static_cast<LPARAM>(0xC02E0001));
        PostQuitMessage(0);
        system.runEventLoop();
        keys[VK_CONTROL] = control;
        SetKeyboardState(keys);
    }

    // Opens the context menu over `at` in `control` (its middle when not
    // given), notes its items and picks the one of mnemonic `key`.
    std::vector<std::string> contextMenu(HWND control, wchar_t key, const RECT* at = nullptr) {
        RECT rect;
        GetClientRect(control, &rect);
        if (at) {
            rect = *at;
        }
        POINT point{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
        ClientToScreen(control, &point);
        std::vector<std::string> items;
        const bool answered = testing::whileModal(
            [&] {
                SendMessageW(control, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(control),
                             MAKELPARAM(point.x, point.y));
            },
            [&] {
                HWND menuWindow = FindWindowW(L"#32768", nullptr);
                if (!menuWindow || !IsWindowVisible(menuWindow)) {
                    return false;
                }
                auto menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
                for (int i = 0; i < GetMenuItemCount(menu); ++i) {
                    items.push_back(menuItem(menu, i));
                }
                PostMessageW(menuWindow, WM_CHAR, key, 0);
                return true;
            },
            500);
        EXPECT_TRUE(answered);
        return items;
    }

    Win32WindowSystem system;
    Screen& screen = system.screen();
};

TEST_F(WinCopy, CtrlCCopiesTheShownPanelOrTheValueTheUserSelected) {
    struct Case {
        const char* what;
        std::function<void()> prepare;
        std::string copied;  // exactly, or "" for the OS panel checked below
    };
    const std::vector<Case> cases = {
        {"the OS panel", [&] { SetFocus(system.mainWindow()); }, ""},
        {"the chosen processor",
         [&] {
             showPanel(1);
             screen.addItem("cboCPUs", "CPU0");
             screen.addItem("cboCPUs", "CPU1");
             screen.setSelectedIndex("cboCPUs", 1);
             SetFocus(find("cboCPUs"));
         },
         "CPU1"},
        {"the chosen address",
         [&] {
             showPanel(4);
             screen.addListLine("lstIPAddr", "192.168.1.10");
             screen.addListLine("lstIPAddr", "10.0.0.1");
             SendMessageW(find("lstIPAddr"), LB_SETCURSEL, 1, 0);
             SetFocus(find("lstIPAddr"));
         },
         "10.0.0.1"},
        {"the chosen drive",
         [&] {
             showPanel(7);
             screen.addRow("lvDrives", "C:");
             screen.addRow("lvDrives", "D:");
             screen.setRowText("lvDrives", 2, 2, "1,000");
             screen.setRowText("lvDrives", 2, 4, "50.0");
             ListView_SetItemState(find("lvDrives"), 1, LVIS_SELECTED, LVIS_SELECTED);
             SetFocus(find("lvDrives"));
         },
         "D:\t1,000\t\t50.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        emptyClipboard();
        c.prepare();
        pressCtrlC();
        const std::string copied = clipboardText();
        if (!c.copied.empty()) {
            EXPECT_EQ(copied, c.copied);
            continue;
        }
        // The panel: its lines as Windows writes them, every value after its
        // caption.
        EXPECT_NE(copied.find("\r\nName: Debian GNU/Linux 12 (bookworm)\r\n"), std::string::npos)
            << copied;
        EXPECT_NE(copied.find("\r\nSerial #: 3d1219c7c4c5404aaa1f6d2a48adf\r\n"), std::string::npos)
            << copied;
        for (std::size_t at = copied.find('\n'); at != std::string::npos;
             at = copied.find('\n', at + 1)) {
            ASSERT_TRUE(at > 0 && copied[at - 1] == '\r') << copied;
        }
    }
}

TEST_F(WinCopy, TheContextMenuCopiesTheValueUnderThePointerOrThePanel) {
    // Over a value, and over its caption: the value.
    for (const char* name : {"lblOSSerial", "lblOSSerialCaption"}) {
        SCOPED_TRACE(name);
        emptyClipboard();
        EXPECT_EQ(contextMenu(find(name), L'c'),
                  (std::vector<std::string>{"&Copy", "Copy &panel"}));
        EXPECT_EQ(clipboardText(), "3d1219c7c4c5404aaa1f6d2a48adf");
    }
    // Over a cell of the drive list: that cell.
    showPanel(7);
    screen.addRow("lvDrives", "C:");
    screen.setRowText("lvDrives", 1, 2, "82,252.80");
    HWND view = find("lvDrives");
    RECT cell{};
    cell.top = 1;
    cell.left = LVIR_BOUNDS;
    SendMessageW(view, LVM_GETSUBITEMRECT, 0, reinterpret_cast<LPARAM>(&cell));
    emptyClipboard();
    EXPECT_EQ(contextMenu(view, L'c', &cell), (std::vector<std::string>{"&Copy", "Copy &panel"}));
    EXPECT_EQ(clipboardText(), "82,252.80");
    showPanel(0);
    // Over the banner, where no value is: the panel.
    emptyClipboard();
    EXPECT_EQ(contextMenu(find("Image9"), L'p'),
              (std::vector<std::string>{"&Copy (greyed)", "Copy &panel"}));
    EXPECT_NE(clipboardText().find("Name: Debian GNU/Linux 12 (bookworm)\r\n"), std::string::npos);
    // The menu bar is as it was.
    EXPECT_EQ(GetMenuItemCount(GetMenu(system.mainWindow())), 9);
}

}  // namespace
}  // namespace tolvex::ui::win32
