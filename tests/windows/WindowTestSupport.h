#pragma once

// Reading Windows controls back in the tests of the native front end.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace tolvex::ui::win32::testing {

std::wstring className(HWND window);
std::string textOf(HWND window);
std::string menuText(HMENU menu, int position);

struct VersionRecord {
    std::string fileVersion;       // from the string table
    std::string fixedFileVersion;  // from the fixed part, as a.b.c.d
    std::string productVersion;
    std::string productName;
};
VersionRecord versionRecord(const std::wstring& file);

// A message box as the user sees it.
struct MessageBoxSeen {
    std::string title;
    std::string text;
    bool hasIcon = false;
    HICON icon = nullptr;
    std::vector<std::string> buttons;
};

// Runs `action` (which opens modal windows and returns when they are closed)
// and, each time the message loop inside it is idle, calls `watch`, which
// looks at the windows on screen and closes them; `watch` returns true once it
// has nothing more to wait for. Stops waiting after `maxTicks` idle turns of
// about 10 ms (the action then goes on as it can): false in that case.
bool whileModal(const std::function<void()>& action, const std::function<bool()>& watch,
                int maxTicks = 1000);

// The message boxes of this thread now on screen.
std::vector<HWND> messageBoxes();
MessageBoxSeen readMessageBox(HWND box);
// Presses the box's OK button.
void pressOk(HWND box);

// Dispatches this thread's messages until `done` holds, for at most about
// `maxMilliseconds`; then dispatches what is left in the queue. Whether
// `done` held.
bool pumpUntil(const std::function<bool()>& done, int maxMilliseconds = 3000);

// Input as the user gives it, through the system's input queue: a left click
// at a point of the screen, a key pressed and released.
void clickAt(POINT screenPoint);
void pressKey(WORD virtualKey);

// How many pixels of `colour` the control paints, drawn into a bitmap of its
// size through WM_PRINTCLIENT.
int paintedPixels(HWND control, COLORREF colour);

// A menu dropped down from a menu bar (or any pop-up menu) is on screen.
bool popupMenuShown();

}  // namespace tolvex::ui::win32::testing
