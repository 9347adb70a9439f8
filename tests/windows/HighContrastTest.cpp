// The native screens under Windows' high-contrast setting and under system
// colours other than the light face the screens were drawn for: the colours
// the windows answer with, the pixels they paint, and that a running window
// follows a change.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <vector>

#include "tests/windows/WindowTestSupport.h"
#include "ui/Contrast.h"
#include "ui/win32/NativeControls.h"
#include "ui/win32/Win32WindowSystem.h"

namespace tolvex::ui::win32 {
namespace {

using testing::paintedPixels;

// Wine keeps the high-contrast setting off whatever a program asks
// (SPI_SETHIGHCONTRAST fails there), so the test answers SPI_GETHIGHCONTRAST
// itself: it takes the place of SystemParametersInfoW in this program's
// import table, and hands every other question to the system's own.
using SystemParametersInfoFunction = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT);
SystemParametersInfoFunction g_systemParametersInfo = nullptr;
bool g_highContrast = false;

BOOL WINAPI answerHighContrast(UINT action, UINT size, PVOID data, UINT flags) {
    if (action == SPI_GETHIGHCONTRAST) {
        auto* setting = static_cast<HIGHCONTRASTW*>(data);
        if (!setting || setting->cbSize != sizeof(HIGHCONTRASTW) || size != sizeof(HIGHCONTRASTW)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        setting->dwFlags = HCF_AVAILABLE | (g_highContrast ? HCF_HIGHCONTRASTON : 0);
        setting->lpszDefaultScheme = nullptr;
        return TRUE;
    }
    return g_systemParametersInfo(action, size, data, flags);
}

// Replaces the address of `original` in this program's import table.
bool replaceImport(void* original, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    bool replaced = false;
    for (auto* module =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         module->Name != 0; ++module) {
        for (auto* thunk = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
             thunk->u1.Function != 0; ++thunk) {
            if (reinterpret_cast<void*>(thunk->u1.Function) == original) {
                DWORD protection = 0;
                VirtualProtect(&thunk->u1.Function, sizeof thunk->u1.Function, PAGE_READWRITE,
                               &protection);
                thunk->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
                VirtualProtect(&thunk->u1.Function, sizeof thunk->u1.Function, protection,
                               &protection);
                replaced = true;
            }
        }
    }
    return replaced;
}

// System colours set for one test and given back at its end (Wine keeps
// them for the prefix's session, as Windows does for the user's).
class SystemColours {
  public:
    explicit SystemColours(const std::vector<std::pair<int, COLORREF>>& colours) {
        std::vector<int> indexes;
        std::vector<COLORREF> values;
        for (const auto& [index, colour] : colours) {
            m_indexes.push_back(index);
            m_saved.push_back(GetSysColor(index));
            indexes.push_back(index);
            values.push_back(colour);
        }
        SetSysColors(static_cast<int>(indexes.size()), indexes.data(), values.data());
    }
    ~SystemColours() {
        SetSysColors(static_cast<int>(m_indexes.size()), m_indexes.data(), m_saved.data());
    }
    SystemColours(const SystemColours&) = delete;
    SystemColours& operator=(const SystemColours&) = delete;

  private:
    std::vector<int> m_indexes;
    std::vector<COLORREF> m_saved;
};

void pumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

struct Answer {
    COLORREF text;
    COLORREF background;
};

// What the window answers when the control asks for its colours.
Answer colourAnswer(HWND control, UINT message) {
    HDC dc = GetDC(control);
    SendMessageW(GetParent(control), message, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(control));
    const Answer answer{GetTextColor(dc), GetBkColor(dc)};
    ReleaseDC(control, dc);
    return answer;
}

Rgb rgb(COLORREF colour) {
    return {GetRValue(colour), GetGValue(colour), GetBValue(colour)};
}

class WinHighContrast : public ::testing::Test {
  protected:
    void SetUp() override {
        HMODULE user32 = GetModuleHandleW(L"user32.dll");
        g_systemParametersInfo = reinterpret_cast<SystemParametersInfoFunction>(
            reinterpret_cast<void*>(GetProcAddress(user32, "SystemParametersInfoW")));
        ASSERT_TRUE(replaceImport(reinterpret_cast<void*>(g_systemParametersInfo),
                                  reinterpret_cast<void*>(&answerHighContrast)));
        g_highContrast = false;
    }
    void TearDown() override {
        g_highContrast = false;
        replaceImport(reinterpret_cast<void*>(&answerHighContrast),
                      reinterpret_cast<void*>(g_systemParametersInfo));
    }

    // Every text element of frmMain answers `text` on `background` (lists:
    // `listText` on `listBackground`).
    static void expectAnswers(const WindowControls& controls, COLORREF text, COLORREF background,
                              COLORREF listText, COLORREF listBackground) {
        for (const Element& element : controls.definition().elements) {
            SCOPED_TRACE(element.name);
            HWND control = controls.find(element.name);
            if (element.kind == Kind::Label || element.kind == Kind::Frame) {
                const Answer answer = colourAnswer(control, WM_CTLCOLORSTATIC);
                EXPECT_EQ(answer.text, text);
                EXPECT_EQ(answer.background, background);
            } else if (element.kind == Kind::ListBox) {
                const Answer answer = colourAnswer(control, WM_CTLCOLORLISTBOX);
                EXPECT_EQ(answer.text, listText);
                EXPECT_EQ(answer.background, listBackground);
            } else if (element.kind == Kind::ListView) {
                EXPECT_EQ(static_cast<COLORREF>(SendMessageW(control, LVM_GETTEXTCOLOR, 0, 0)),
                          listText);
                EXPECT_EQ(static_cast<COLORREF>(SendMessageW(control, LVM_GETBKCOLOR, 0, 0)),
                          listBackground);
            }
        }
    }
};

TEST_F(WinHighContrast, TheScreensTakeTheSystemsColoursAndFollowAChange) {
    Win32WindowSystem system;
    system.showMainWindow();
    system.screen().setText("lblOSName", "Debian GNU/Linux 12 (bookworm)");
    const WindowControls& main = system.mainControls();
    HWND frame = main.find("Frame5");
    HWND value = main.find("lblOSName");
    pumpMessages();
    UpdateWindow(system.mainWindow());
    EXPECT_FALSE(highContrastOn());
    EXPECT_GT(paintedPixels(value, RGB(0, 0, 192)), 0);

    // A high-contrast scheme: yellow on black for dialogs, cyan on black for
    // fields. Setting the colours tells every window; the high-contrast
    // setting is announced as Windows announces it.
    const COLORREF yellow = RGB(255, 255, 0), cyan = RGB(0, 255, 255), black = RGB(0, 0, 0);
    {
        const SystemColours scheme({{COLOR_BTNFACE, black},
                                    {COLOR_BTNTEXT, yellow},
                                    {COLOR_WINDOW, black},
                                    {COLOR_WINDOWTEXT, cyan},
                                    {COLOR_HIGHLIGHT, cyan},
                                    {COLOR_HIGHLIGHTTEXT, black}});
        g_highContrast = true;
        SendMessageW(system.mainWindow(), WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
        EXPECT_TRUE(highContrastOn());
        // The window is to be painted anew.
        EXPECT_TRUE(GetUpdateRect(system.mainWindow(), nullptr, FALSE) ||
                    GetUpdateRect(frame, nullptr, FALSE));
        pumpMessages();
        expectAnswers(main, yellow, black, cyan, black);
        // The frame caption and the value are painted in the system's text
        // colour, none of the fixed colours left.
        EXPECT_GT(paintedPixels(frame, yellow), 0);
        EXPECT_EQ(paintedPixels(frame, RGB(128, 0, 128)), 0);
        EXPECT_GT(paintedPixels(value, yellow), 0);
        EXPECT_EQ(paintedPixels(value, RGB(0, 0, 192)), 0);

        // High contrast off, the dark colours kept: the fixed colours,
        // lightened in their hue until they read against the dark face.
        g_highContrast = false;
        SendMessageW(system.mainWindow(), WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
        pumpMessages();
        for (const char* name : {"lblOSName", "Frame5", "lblCPUCount"}) {
            SCOPED_TRACE(name);
            HWND control = main.find(name);
            const Element* element = main.elementOf(control);
            const Answer answer = colourAnswer(control, WM_CTLCOLORSTATIC);
            EXPECT_EQ(answer.background, black);
            EXPECT_NE(answer.text, roleColour(element->colour));
            EXPECT_GE(contrastRatio(rgb(answer.text), rgb(black)), kMinimumTextContrast);
            const Rgb expected = fixedTextColourOn(rgb(roleColour(element->colour)), rgb(black));
            EXPECT_EQ(answer.text, RGB(expected.r, expected.g, expected.b));
        }
        EXPECT_GE(contrastRatio(rgb(static_cast<COLORREF>(
                                    SendMessageW(main.find("lvDrives"), LVM_GETTEXTCOLOR, 0, 0))),
                                rgb(black)),
                  kMinimumTextContrast);
    }
    // The light face back: the colours the screens were drawn in.
    pumpMessages();
    const Answer answer = colourAnswer(value, WM_CTLCOLORSTATIC);
    EXPECT_EQ(answer.text, RGB(0, 0, 192));
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(main.find("lvDrives"), LVM_GETTEXTCOLOR, 0, 0)),
              RGB(0, 0, 192));
}

}  // namespace
}  // namespace tolvex::ui::win32
