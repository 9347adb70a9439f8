// The native screens against their definitions, read back from the Windows
// controls themselves: every element exists under its name, in the parent the
// definition names, with its geometry in pixels, text, font and colour.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/windows/WindowTestSupport.h"
#include "tolvex/Version.h"
#include "ui/ScreenDefinitions.h"
#include "ui/win32/NativeControls.h"
#include "ui/win32/Text.h"
#include "ui/win32/Win32WindowSystem.h"

namespace tolvex::ui::win32 {
namespace {

using testing::className;
using testing::paintedPixels;
using testing::textOf;

// The rectangle of a control in its parent's client coordinates.
RECT placeInParent(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

LOGFONTW fontOf(HWND control) {
    LOGFONTW font{};
    auto handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    if (handle) {
        GetObjectW(handle, sizeof font, &font);
    }
    return font;
}

// What the window answers when the control asks for its colours.
struct Answer {
    COLORREF text;
    COLORREF background;
    int backgroundMode;
    bool brush;
};

Answer colourAnswer(HWND control, UINT message) {
    HDC dc = GetDC(control);
    SetTextColor(dc, RGB(1, 2, 3));
    SetBkMode(dc, OPAQUE);
    const LRESULT brush = SendMessageW(GetParent(control), message, reinterpret_cast<WPARAM>(dc),
                                       reinterpret_cast<LPARAM>(control));
    Answer answer{GetTextColor(dc), GetBkColor(dc), GetBkMode(dc), brush != 0};
    ReleaseDC(control, dc);
    return answer;
}

const wchar_t* expectedClass(Kind kind) {
    switch (kind) {
        case Kind::Panel:
            return kPanelClass;
        case Kind::Frame:
        case Kind::Button:
            return WC_BUTTONW;
        case Kind::Label:
        case Kind::Image:
            return WC_STATICW;
        case Kind::ComboBox:
            return WC_COMBOBOXW;
        case Kind::ListBox:
            return WC_LISTBOXW;
        case Kind::ListView:
            return WC_LISTVIEWW;
    }
    return L"";
}

void checkWindow(const WindowControls& controls) {
    const WindowDefinition& definition = controls.definition();
    const int dpi = controls.dpi();
    RECT client;
    GetClientRect(controls.window(), &client);
    EXPECT_EQ(client.right, scaled(definition.clientWidth, dpi));
    EXPECT_EQ(client.bottom, scaled(definition.clientHeight, dpi));
    EXPECT_EQ(textOf(controls.window()), definition.caption);
    const LONG_PTR windowStyle = GetWindowLongPtrW(controls.window(), GWL_STYLE);
    EXPECT_EQ((windowStyle & WS_MINIMIZEBOX) != 0, definition.minimizeBox);
    EXPECT_EQ(windowStyle & (WS_MAXIMIZEBOX | WS_THICKFRAME), 0);

    for (const Element& element : definition.elements) {
        SCOPED_TRACE(element.name);
        HWND control = controls.find(element.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(controls.elementOf(control), &element);
        EXPECT_EQ(className(control), expectedClass(element.kind));

        HWND parent = element.parent.empty() ? controls.window() : controls.find(element.parent);
        EXPECT_EQ(GetParent(control), parent);
        const RECT place = placeInParent(control);
        EXPECT_EQ(place.left, scaled(element.left, dpi));
        EXPECT_EQ(place.top, scaled(element.top, dpi));
        EXPECT_EQ(place.right - place.left, scaled(element.width, dpi));
        EXPECT_EQ(place.bottom - place.top, scaled(element.height, dpi));
        const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
        EXPECT_EQ((style & WS_VISIBLE) != 0, element.visible);

        if (element.kind != Kind::Panel && element.kind != Kind::Image) {
            const LOGFONTW font = fontOf(control);
            EXPECT_EQ(std::wstring(font.lfFaceName), screenFace());
            EXPECT_EQ(font.lfHeight, fontHeight(element.font, dpi));
            EXPECT_EQ(font.lfWeight, element.font == FontRole::Title ? FW_BOLD : FW_NORMAL);
        }

        switch (element.kind) {
            case Kind::Label: {
                EXPECT_EQ(textOf(control), element.text);
                // Plain text: "&" is no mnemonic.
                EXPECT_TRUE(style & SS_NOPREFIX);
                const UINT type = static_cast<UINT>(style & SS_TYPEMASK);
                if (element.align == Align::Center) {
                    EXPECT_EQ(type, static_cast<UINT>(SS_CENTER));
                } else {
                    EXPECT_TRUE(type == SS_LEFT || type == SS_LEFTNOWORDWRAP);
                    EXPECT_EQ(type == SS_LEFT, element.wordWrap);
                }
                const Answer answer = colourAnswer(control, WM_CTLCOLORSTATIC);
                EXPECT_TRUE(answer.brush);
                EXPECT_EQ(answer.text, roleColour(element.colour));
                if (element.opaqueBackground) {
                    EXPECT_EQ(answer.backgroundMode, OPAQUE);
                    EXPECT_EQ(answer.background, GetSysColor(COLOR_HIGHLIGHTTEXT));
                } else {
                    EXPECT_EQ(answer.backgroundMode, TRANSPARENT);
                }
                break;
            }
            case Kind::Frame: {
                EXPECT_EQ(style & BS_TYPEMASK, BS_GROUPBOX);
                EXPECT_EQ(textOf(control), element.text);
                EXPECT_EQ(colourAnswer(control, WM_CTLCOLORSTATIC).text, RGB(128, 0, 128));
                // The caption is painted in that colour.
                EXPECT_EQ(paintedPixels(control, RGB(128, 0, 128)) > 0, !element.text.empty());
                break;
            }
            case Kind::Image: {
                const bool icon = (style & SS_TYPEMASK) == SS_ICON;
                EXPECT_TRUE(icon || (style & SS_TYPEMASK) == SS_BITMAP);
                EXPECT_NE(SendMessageW(control, STM_GETIMAGE, icon ? IMAGE_ICON : IMAGE_BITMAP, 0),
                          0)
                    << element.text;
                break;
            }
            case Kind::ComboBox:
                // A drop-down list with an edit field, unsorted, empty.
                EXPECT_EQ(style & 3, CBS_DROPDOWN);
                EXPECT_EQ(style & CBS_SORT, 0);
                EXPECT_EQ(SendMessageW(control, CB_GETCOUNT, 0, 0), 0);
                EXPECT_EQ(textOf(control), "");
                break;
            case Kind::ListBox:
                EXPECT_EQ(style & LBS_SORT, 0);
                EXPECT_EQ(colourAnswer(control, WM_CTLCOLORLISTBOX).text,
                          roleColour(element.colour));
                break;
            case Kind::ListView:
                EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
                EXPECT_EQ(static_cast<COLORREF>(SendMessageW(control, LVM_GETTEXTCOLOR, 0, 0)),
                          roleColour(element.colour));
                break;
            case Kind::Button:
                EXPECT_EQ(textOf(control), element.text);
                break;
            case Kind::Panel:
                EXPECT_EQ(textOf(control), "");
                break;
        }
    }
}

TEST(WinScreens, MainWindowMatchesItsDefinition) {
    Win32WindowSystem system;
    const WindowControls& main = system.mainControls();
    checkWindow(main);
    // At 96 DPI, 15 twips make a pixel.
    if (main.dpi() == 96) {
        RECT client;
        GetClientRect(main.window(), &client);
        EXPECT_EQ(client.right, 444);
        EXPECT_EQ(client.bottom, 528);
    }
}

// Each window carries the program's icon in both sizes, set on the window
// itself (a window with a modal dialog frame shows no class icon); a second
// window system, made after the first has gone, shows live icons too.
TEST(WinScreens, EveryWindowCarriesTheProgramsIconsAlsoFromASecondWindowSystem) {
    const auto iconOf = [](HWND window, WPARAM size) {
        return reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, size, 0));
    };
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        Win32WindowSystem system;
        system.showLoadingWindow();
        const auto about = system.buildWindow(frmAboutDefinition(), system.mainWindow());
        for (const WPARAM size : {WPARAM{ICON_BIG}, WPARAM{ICON_SMALL}}) {
            HICON icon = iconOf(system.mainWindow(), size);
            ICONINFO info{};
            ASSERT_TRUE(icon && GetIconInfo(icon, &info));
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            EXPECT_EQ(iconOf(system.loadingWindow(), size), icon);
            EXPECT_EQ(iconOf(about->window(), size), icon);
        }
        EXPECT_NE(iconOf(system.mainWindow(), ICON_BIG), iconOf(system.mainWindow(), ICON_SMALL));
    }
    // The classes went with their window system.
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    EXPECT_FALSE(GetClassInfoExW(GetModuleHandleW(nullptr), L"TolvexMain", &info));
}

// A caption a pixel above its field (the IP list, each selector) is painted
// under it: the field's top border row is whole on screen, one colour from
// end to end, not the face colour a label fills its box with, even after
// every label has been painted again (as when its text changes).
TEST(WinScreens, NoLabelPaintsOverTheFieldBelowIt) {
    Win32WindowSystem system;
    Screen& screen = system.screen();
    system.showMainWindow();
    const WindowControls& main = system.mainControls();
    HWND window = main.window();
    int checked = 0;
    for (int panel = 0; panel < 8; ++panel) {
        const std::string panelName = arrayName("frSections", panel);
        for (int other = 0; other < 8; ++other) {
            screen.setVisible(arrayName("frSections", other), other == panel);
        }
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        for (const Element& element : main.definition().elements) {
            if (element.kind == Kind::Label) {
                HWND label = main.find(element.name);
                InvalidateRect(label, nullptr, TRUE);
                UpdateWindow(label);
            }
        }
        GdiFlush();
        HDC dc = GetDCEx(window, nullptr, DCX_WINDOW | DCX_CACHE);
        RECT frame;
        GetWindowRect(window, &frame);
        for (const Element& element : main.definition().elements) {
            HWND field = main.find(element.name);
            if ((element.kind != Kind::ComboBox && element.kind != Kind::ListBox) ||
                !IsChild(main.find(panelName), field)) {
                continue;
            }
            SCOPED_TRACE(element.name);
            ++checked;
            RECT rect;
            GetWindowRect(field, &rect);
            OffsetRect(&rect, -frame.left, -frame.top);
            const COLORREF border = GetPixel(dc, rect.left + 2, rect.top);
            EXPECT_NE(border, GetSysColor(COLOR_BTNFACE));
            int other = 0;
            for (int x = rect.left + 2; x < rect.right - 2; ++x) {
                other += GetPixel(dc, x, rect.top) != border;
            }
            EXPECT_EQ(other, 0);
        }
        ReleaseDC(window, dc);
    }
    EXPECT_EQ(checked, 5);  // four selectors and the IP list
}

TEST(WinScreens, LoadingAndAboutWindowsMatchTheirDefinitions) {
    Win32WindowSystem system;
    EXPECT_FALSE(system.loadingWindowLoaded());
    system.showLoadingWindow();
    ASSERT_TRUE(system.loadingWindowLoaded());
    checkWindow(*system.loadingControls());
    EXPECT_TRUE(IsWindowVisible(system.loadingWindow()));
    // Without an owner: the progress window stands on its own.
    EXPECT_EQ(GetWindow(system.loadingWindow(), GW_OWNER), nullptr);
    system.unloadLoadingWindow();
    EXPECT_FALSE(system.loadingWindowLoaded());

    const auto about = system.buildWindow(frmAboutDefinition(), system.mainWindow());
    checkWindow(*about);
    // The OK button lies below the client area, out of sight, and is the
    // default button.
    HWND ok = about->find("cmdCancel");
    RECT client;
    GetClientRect(about->window(), &client);
    EXPECT_GE(placeInParent(ok).top, client.bottom);
    EXPECT_EQ(GetWindowLongPtrW(ok, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    // The version label lies over the picture.
    HWND version = about->find("lblVer");
    HWND above = about->find("Image1");
    bool labelAbovePicture = false;
    for (HWND child = GetWindow(about->window(), GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (child == version) {
            labelAbovePicture = true;
            break;
        }
        if (child == above) {
            break;
        }
    }
    EXPECT_TRUE(labelAbovePicture);
}

TEST(WinScreens, MenuBarHoldsFileAndTheEightSectionItems) {
    Win32WindowSystem system;
    HMENU bar = GetMenu(system.mainWindow());
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(GetMenuItemCount(bar), 9);
    EXPECT_EQ(testing::menuText(bar, 0), "&File");
    HMENU file = GetSubMenu(bar, 0);
    ASSERT_NE(file, nullptr);
    const char* sections[] = {"OS",         "CPU",   "Mainboard", "MEM",
                              "Networking", "Video", "SCSI",      "Drives"};
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(sections[i]);
        EXPECT_EQ(testing::menuText(bar, i + 1), sections[i]);
        EXPECT_EQ(GetSubMenu(bar, i + 1), nullptr);
        EXPECT_EQ(GetMenuItemID(bar, i + 1), static_cast<UINT>(kSectionMenuCommand + i + 1));
    }
    ASSERT_EQ(GetMenuItemCount(file), 4);
    EXPECT_EQ(testing::menuText(file, 0), "&Goto Tolvex web site");
    EXPECT_EQ(testing::menuText(file, 1), "&About Tolvex...");
    MENUITEMINFOW separator{};
    separator.cbSize = sizeof separator;
    separator.fMask = MIIM_FTYPE;
    GetMenuItemInfoW(file, 2, TRUE, &separator);
    EXPECT_TRUE(separator.fType & MFT_SEPARATOR);
    EXPECT_EQ(testing::menuText(file, 3), "E&xit");
    EXPECT_EQ(GetMenuItemID(file, 3), static_cast<UINT>(kFileMenuCommand + 4));
}

TEST(WinScreens, DriveListHasItsFourColumns) {
    Win32WindowSystem system;
    HWND view = system.mainControls().find("lvDrives");
    HWND header = reinterpret_cast<HWND>(SendMessageW(view, LVM_GETHEADER, 0, 0));
    ASSERT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 4);
    const int dpi = system.mainControls().dpi();
    for (int i = 0; i < 4; ++i) {
        const Column& column = driveColumns()[static_cast<std::size_t>(i)];
        wchar_t text[64] = {};
        LVCOLUMNW info{};
        info.mask = LVCF_TEXT | LVCF_WIDTH;
        info.pszText = text;
        info.cchTextMax = 64;
        ASSERT_TRUE(SendMessageW(view, LVM_GETCOLUMNW, static_cast<WPARAM>(i),
                                 reinterpret_cast<LPARAM>(&info)));
        EXPECT_EQ(narrow(text), column.header);
        EXPECT_EQ(info.cx, scaled(column.width, dpi));
    }
    EXPECT_EQ(SendMessageW(view, LVM_GETITEMCOUNT, 0, 0), 0);
}

TEST(WinScreens, ExecutableCarriesItsVersionRecord) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const testing::VersionRecord record = testing::versionRecord(path);
    const std::string major = std::to_string(version::kMajor);
    const std::string minor = std::to_string(version::kMinor);
    const std::string revision = std::to_string(version::kRevision);
    EXPECT_EQ(record.fileVersion, major + "." + minor + ".0." + revision);
    EXPECT_EQ(record.fixedFileVersion, record.fileVersion);
    EXPECT_EQ(record.productVersion, major + "." + minor + "." + revision);
    EXPECT_EQ(record.productName, "Tolvex");
}

}  // namespace
}  // namespace tolvex::ui::win32
