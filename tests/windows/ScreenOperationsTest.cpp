// The screen operations over the native windows, and what the user does with
// them: selectors, lists, message boxes, the About box.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "sections/Detectors.h"
#include "tests/support/InMemoryService.h"
#include "tests/windows/WindowTestSupport.h"
#include "ui/win32/Text.h"
#include "ui/win32/Win32WindowSystem.h"
#include "wmi/Failure.h"
#include "wmi/WmiNames.h"

namespace tolvex::ui::win32 {
namespace {

using testing::messageBoxes;
using testing::pressOk;
using testing::readMessageBox;
using testing::textOf;
using testing::whileModal;

class WinScreenOps : public ::testing::Test {
  protected:
    Win32WindowSystem system;
    Screen& screen = system.screen();
    HWND find(const char* name) const { return system.mainControls().find(name); }
};

TEST_F(WinScreenOps, FieldTextsAreWrittenAndReadBackAsPlainText) {
    EXPECT_EQ(screen.text("lblCPUSpeed"), "...");
    screen.setText("lblCPUSpeed", "2600 MHz");
    EXPECT_EQ(screen.text("lblCPUSpeed"), "2600 MHz");
    EXPECT_EQ(textOf(find("lblCPUSpeed")), "2600 MHz");

    // Markup and ampersands show as the characters they are.
    screen.setText("lblDRVVolName", "<b>R&D</b>");
    EXPECT_EQ(textOf(find("lblDRVVolName")), "<b>R&D</b>");

    // UTF-8 goes to the control as UTF-16 and comes back; bytes that are not
    // UTF-8 become the replacement character rather than other letters.
    screen.setText("lblOSName", "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x92\xBE");
    wchar_t shown[32] = {};
    GetWindowTextW(find("lblOSName"), shown, 32);
    EXPECT_EQ(std::wstring(shown), L"Caf\u00E9 \u20AC \U0001F4BE");
    EXPECT_EQ(screen.text("lblOSName"), "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x92\xBE");
    for (const auto& [bytes, expected] : std::vector<std::pair<std::string, std::string>>{
             {"A\xFF", "A\xEF\xBF\xBD"},
             {"\xC3", "\xEF\xBF\xBD"},                                    // cut short
             {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                    // overlong "/"
             {"\xED\xA0\x80x", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDx"},  // a surrogate
         }) {
        screen.setText("lblOSName", bytes);
        EXPECT_EQ(screen.text("lblOSName"), expected);
    }
}

TEST_F(WinScreenOps, UnknownNamesAndWrongKindsAreFailures) {
    EXPECT_THROW(screen.setText("lblNoSuchField", "x"), Failure);
    EXPECT_THROW(screen.addItem("cboNoSuch", "x"), Failure);
    EXPECT_THROW(screen.addItem("lblCPUSpeed", "x"), Failure);
    EXPECT_THROW(screen.setText("cboCPUs", "x"), Failure);
    EXPECT_THROW(screen.addRow("lstIPAddr", "x"), Failure);
    EXPECT_THROW(screen.setVisible("frSections(8)", true), Failure);
}

TEST_F(WinScreenOps, TheProgressTextLoadsTheProgressWindowAndIsPaintedAtOnce) {
    EXPECT_FALSE(system.loadingWindowLoaded());
    screen.setText("lblLoad", "Detecting motherboard...");
    ASSERT_TRUE(system.loadingWindowLoaded());
    HWND first = system.loadingWindow();
    system.showLoadingWindow();
    EXPECT_EQ(system.loadingWindow(), first);
    screen.setText("lblLoad", "Detecting drive(s)...");
    EXPECT_EQ(screen.text("lblLoad"), "Detecting drive(s)...");
    // Painted when setText returns: nothing is left to paint.
    HWND label = system.loadingControls()->find("lblLoad");
    EXPECT_FALSE(GetUpdateRect(label, nullptr, FALSE));
    EXPECT_FALSE(GetUpdateRect(system.loadingWindow(), nullptr, FALSE));

    system.unloadLoadingWindow();
    EXPECT_FALSE(system.loadingWindowLoaded());
    EXPECT_FALSE(IsWindow(first));
    // Loaded anew, it starts from its initial text.
    EXPECT_EQ(screen.text("lblLoad"), "Loading...");
    system.unloadLoadingWindow();
    system.unloadLoadingWindow();  // unloading it twice does nothing
}

TEST_F(WinScreenOps, SelectorRaisesItsHandlerWhenSetAndWhenTheUserPicks) {
    int clicks = 0;
    int indexSeen = -2;
    screen.setClickHandler("cboCPUs", [&] {
        ++clicks;
        indexSeen = screen.selectedIndex("cboCPUs");
    });
    EXPECT_EQ(screen.itemCount("cboCPUs"), 0);
    EXPECT_EQ(screen.selectedIndex("cboCPUs"), -1);
    screen.addItem("cboCPUs", "CPU0");
    screen.addItem("cboCPUs", "CPU1");
    screen.addItem("cboCPUs", "A CPU");  // kept in the order added
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(screen.itemCount("cboCPUs"), 3);
    EXPECT_EQ(screen.selectedIndex("cboCPUs"), -1);
    EXPECT_EQ(textOf(find("cboCPUs")), "");

    screen.setSelectedIndex("cboCPUs", 0);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(indexSeen, 0);
    EXPECT_EQ(textOf(find("cboCPUs")), "CPU0");
    screen.setSelectedIndex("cboCPUs", 0);  // the same index again
    EXPECT_EQ(clicks, 2);

    // Each pick of the user raises exactly one click, whatever the list
    // reports for it: the arrow key with the list closed, a choice in the
    // open list by keyboard (also of the item already chosen) or by mouse;
    // leaving the open list with Esc raises none.
    system.showMainWindow();
    screen.setVisible("frSections(0)", false);
    screen.setVisible("frSections(1)", true);
    HWND combo = find("cboCPUs");
    const auto dropped = [&] { return SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0) != 0; };
    const auto clicksOf = [&](const std::function<void()>& pick, int expectedIndex) {
        const int before = clicks;
        pick();
        testing::pumpUntil([&] { return !dropped(); });
        EXPECT_EQ(screen.selectedIndex("cboCPUs"), expectedIndex);
        return clicks - before;
    };
    const auto inOpenList = [&](std::vector<WPARAM> keys) {
        return [&, keys] {
            SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
            for (const WPARAM key : keys) {
                SendMessageW(combo, WM_KEYDOWN, key, 0);
            }
        };
    };
    EXPECT_EQ(clicksOf([&] { SendMessageW(combo, WM_KEYDOWN, VK_DOWN, 0); }, 1), 1);
    EXPECT_EQ(indexSeen, 1);
    EXPECT_EQ(textOf(combo), "CPU1");
    EXPECT_EQ(clicksOf(inOpenList({VK_DOWN, VK_RETURN}), 2), 1);
    EXPECT_EQ(clicksOf(inOpenList({VK_RETURN}), 2), 1);
    EXPECT_EQ(clicksOf(inOpenList({VK_ESCAPE}), 2), 0);
    // By mouse: the button at the right end opens the list, a click on its
    // first item chooses it.
    const int byMouse = clicksOf(
        [&] {
            RECT box;
            GetWindowRect(combo, &box);
            testing::clickAt({box.right - 4, (box.top + box.bottom) / 2});
            ASSERT_TRUE(testing::pumpUntil(dropped));
            COMBOBOXINFO info{};
            info.cbSize = sizeof info;
            ASSERT_TRUE(GetComboBoxInfo(combo, &info));
            RECT item{};
            SendMessageW(info.hwndList, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
            POINT centre{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
            ClientToScreen(info.hwndList, &centre);
            testing::clickAt(centre);
        },
        0);
    EXPECT_EQ(byMouse, 1);
    EXPECT_EQ(indexSeen, 0);

    const int before = clicks;
    EXPECT_THROW(screen.setSelectedIndex("cboCPUs", 3), Failure);
    EXPECT_EQ(clicks, before);
    EXPECT_EQ(screen.selectedIndex("cboCPUs"), 0);
}

TEST_F(WinScreenOps, ListBoxAndListViewRows) {
    screen.addListLine("lstIPAddr", "192.168.1.10");
    screen.addListLine("lstIPAddr", "10.0.0.1");
    HWND list = find("lstIPAddr");
    ASSERT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 2);
    wchar_t line[32] = {};
    SendMessageW(list, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(line));
    EXPECT_EQ(narrow(line), "10.0.0.1");

    EXPECT_EQ(screen.addRow("lvDrives", "C:"), 1);
    EXPECT_EQ(screen.addRow("lvDrives", "D:"), 2);
    screen.setRowText("lvDrives", 2, 2, "1,000");
    screen.setRowText("lvDrives", 2, 4, "50.0");
    HWND view = find("lvDrives");
    const auto cell = [&](int row, int column) {
        wchar_t text[32] = {};
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = 32;
        SendMessageW(view, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&item));
        return narrow(text);
    };
    EXPECT_EQ(cell(1, 0), "D:");
    EXPECT_EQ(cell(1, 1), "1,000");
    EXPECT_EQ(cell(1, 3), "50.0");
    EXPECT_EQ(cell(0, 1), "");
    EXPECT_THROW(screen.setRowText("lvDrives", 3, 2, "x"), Failure);
    EXPECT_THROW(screen.setRowText("lvDrives", 0, 2, "x"), Failure);
    EXPECT_THROW(screen.setRowText("lvDrives", 1, 1, "x"), Failure);
    EXPECT_THROW(screen.setRowText("lvDrives", 1, 5, "x"), Failure);
    EXPECT_EQ(screen.selectedRow("lvDrives"), 0);
    ListView_SetItemState(view, 1, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(screen.selectedRow("lvDrives"), 2);

    // A row the list refuses (as one out of memory does) is a failure, and
    // the next row is the next row, not the one before.
    static WNDPROC original = nullptr;
    original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        view, GWLP_WNDPROC,
        reinterpret_cast<LONG_PTR>(
            +[](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
                return message == LVM_INSERTITEMW
                           ? -1
                           : CallWindowProcW(original, window, message, wParam, lParam);
            })));
    EXPECT_THROW(screen.addRow("lvDrives", "E:"), Failure);
    SetWindowLongPtrW(view, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    EXPECT_EQ(screen.addRow("lvDrives", "F:"), 3);
    screen.setRowText("lvDrives", 3, 2, "2,000");
    EXPECT_EQ(cell(2, 0), "F:");
    EXPECT_EQ(cell(2, 1), "2,000");
    EXPECT_EQ(cell(1, 1), "1,000");

    // Cells are read whole, however long: a mount point of 255 and of 4,000
    // characters.
    for (const std::size_t length : {std::size_t{255}, std::size_t{4000}}) {
        const std::string mount = "/mnt/" + std::string(length - 5, 'm');
        const int row = screen.addRow("lvDrives", mount);
        EXPECT_EQ(narrow(cellText(view, row - 1, 0)), mount);
    }
}

TEST_F(WinScreenOps, AClickOnTheDriveListRaisesItsHandlerWithTheRowItHit) {
    system.showMainWindow();
    screen.setVisible("frSections(0)", false);
    screen.setVisible("frSections(7)", true);
    screen.addRow("lvDrives", "C:");
    screen.addRow("lvDrives", "D:");
    std::vector<int> rows;
    screen.setClickHandler("lvDrives", [&] { rows.push_back(screen.selectedRow("lvDrives")); });

    // The mouse as the list view sees it: button down and up on the second
    // row, then below the rows (still a click of the list view).
    HWND view = find("lvDrives");
    RECT second{};
    second.left = LVIR_BOUNDS;
    ASSERT_TRUE(SendMessageW(view, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&second)));
    RECT client;
    GetClientRect(view, &client);
    for (const POINT point :
         {POINT{(second.left + second.right) / 2, (second.top + second.bottom) / 2},
          POINT{10, client.bottom - 5}}) {
        const LPARAM at = MAKELPARAM(point.x, point.y);
        PostMessageW(view, WM_LBUTTONUP, 0, at);
        SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, at);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], 2);
}

TEST(WinElide, LongTextsAreShortenedInTheirMiddle) {
    struct Case {
        std::wstring text;
        std::size_t room;  // characters
        std::wstring shown;
    };
    const std::wstring path = L"/mnt/data/projects/tolvex/build/python";
    for (const Case& c : {Case{path, 40, path}, Case{path, 20, L"/mnt/data/\u2026/python"},
                          Case{path, 9, L"/\u2026/python"}, Case{path, 5, L"/m\u2026on"},
                          Case{L"C:\\Mount\\Deep\\Folder", 12, L"C:\\\u2026\\Folder"},
                          Case{L"3d1219c7c4c5404aaa1f6d2a48adf", 9, L"3d12\u20268adf"}}) {
        SCOPED_TRACE(narrow(c.text) + " in " + std::to_string(c.room));
        EXPECT_EQ(elideMiddle(c.text, [&](const std::wstring& t) { return t.size() <= c.room; }),
                  c.shown);
    }
}

// The tooltip the window gives a control, asked as the tooltip control asks.
std::string tipOf(const WindowControls& controls, HWND control) {
    NMTTDISPINFOW info{};
    info.hdr.hwndFrom = controls.tooltip();
    info.hdr.idFrom = reinterpret_cast<UINT_PTR>(control);
    info.hdr.code = TTN_GETDISPINFOW;
    info.uFlags = TTF_IDISHWND;
    SendMessageW(controls.window(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
    return info.lpszText ? narrow(info.lpszText) : std::string();
}

void pointAt(HWND control, POINT inside) {
    ClientToScreen(control, &inside);
    SetCursorPos(inside.x, inside.y);
}

TEST_F(WinScreenOps, ClippedTextsShowWholeInATooltip) {
    system.showMainWindow();
    const WindowControls& controls = system.mainControls();
    struct Case {
        const char* field;
        std::string text;
        bool clipped;
    };
    for (const Case& c :
         {Case{"lblOSSerial", "3d1219c7c4c5404aaa1f6d2a48adf3d1219c7c4c5404aaa", true},
          Case{"lblOSManufac", "Microsoft Corporation", false},
          Case{"lblOSName", "Debian GNU/Linux 12 (bookworm)", false},
          Case{"lblOSName",
               "Microsoft Windows Server 2022 Datacenter Azure Edition with a name long enough "
               "to need more than the two lines the field has",
               true}}) {
        SCOPED_TRACE(c.field + (": " + c.text));
        screen.setText(c.field, c.text);
        EXPECT_EQ(tipOf(controls, find(c.field)), c.clipped ? c.text : "");
    }

    // The user rests the pointer on the serial: the tip shows its whole text.
    HWND serial = find("lblOSSerial");
    HWND tip = controls.tooltip();
    RECT rect;
    GetClientRect(serial, &rect);
    pointAt(serial, {rect.right / 2, rect.bottom / 2});
    const DWORD start = GetTickCount();
    while (!IsWindowVisible(tip) && GetTickCount() - start < 5000) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    ASSERT_TRUE(IsWindowVisible(tip));
    EXPECT_EQ(textOf(tip), "3d1219c7c4c5404aaa1f6d2a48adf3d1219c7c4c5404aaa");

    // The drive list: a long mount point is shortened in its middle, and
    // shows whole in the tip of its cell, as does a number cut off.
    screen.setVisible("frSections(0)", false);
    screen.setVisible("frSections(7)", true);
    const std::string mount = "/mnt/data/projects/tolvex/build/python";
    screen.addRow("lvDrives", "C:");
    screen.addRow("lvDrives", mount);
    screen.setRowText("lvDrives", 2, 2, "1,234,567,890,123,456");
    HWND view = find("lvDrives");
    EXPECT_EQ(controls.shownFirstCell(view, 0), L"C:");
    // The column as defined holds a few characters: both ends of the path.
    std::string shown = narrow(controls.shownFirstCell(view, 1));
    EXPECT_LT(shown.size(), mount.size());
    EXPECT_EQ(shown.front(), '/');
    EXPECT_EQ(shown.back(), 'n');
    EXPECT_NE(shown.find("\xE2\x80\xA6"), std::string::npos) << shown;
    // Widened by the user, it shows the path's beginning and its last part.
    SendMessageW(view, LVM_SETCOLUMNWIDTH, 0, 160);
    shown = narrow(controls.shownFirstCell(view, 1));
    EXPECT_EQ(shown.rfind("/mnt/", 0), 0u) << shown;
    EXPECT_NE(shown.find("\xE2\x80\xA6/python"), std::string::npos) << shown;
    SendMessageW(view, LVM_SETCOLUMNWIDTH, 0, 60);
    struct CellCase {
        int row;
        int column;
        std::string tip;
    };
    for (const CellCase& c :
         {CellCase{0, 0, ""}, CellCase{1, 0, mount}, CellCase{1, 1, "1,234,567,890,123,456"}}) {
        SCOPED_TRACE(std::to_string(c.row) + "," + std::to_string(c.column));
        RECT cell{};
        cell.top = c.column;
        cell.left = LVIR_BOUNDS;
        SendMessageW(view, LVM_GETSUBITEMRECT, static_cast<WPARAM>(c.row),
                     reinterpret_cast<LPARAM>(&cell));
        const int right =
            c.column == 0
                ? cell.left + static_cast<int>(SendMessageW(view, LVM_GETCOLUMNWIDTH, 0, 0))
                : cell.right;
        pointAt(view, {(cell.left + right) / 2, (cell.top + cell.bottom) / 2});
        EXPECT_EQ(tipOf(controls, view), c.tip);
    }
}

// A field the sections noted as without a value says why, before any
// clipped text; without the note it is back to the clipped text or none.
TEST_F(WinScreenOps, ANullNoteIsTheFieldsTooltip) {
    const WindowControls& controls = system.mainControls();
    const std::string serial = "3d1219c7c4c5404aaa1f6d2a48adf3d1219c7c4c5404aaa";
    screen.setText("lblOSSerial", serial);
    screen.setNullNote("lblExtClock", "Needs administrator rights: /x\nRun Tolvex as root");
    screen.setNullNote("lblOSSerial", "The management service gave no value");
    EXPECT_EQ(tipOf(controls, find("lblExtClock")),
              "Needs administrator rights: /x\r\nRun Tolvex as root");
    EXPECT_EQ(tipOf(controls, find("lblOSSerial")), "The management service gave no value");
    screen.setNullNote("lblExtClock", "");
    screen.setNullNote("lblOSSerial", "");
    EXPECT_EQ(tipOf(controls, find("lblExtClock")), "");
    EXPECT_EQ(tipOf(controls, find("lblOSSerial")), serial);
}

TEST_F(WinScreenOps, PanelsAreShownAndHidden) {
    EXPECT_TRUE(screen.isVisible("frSections(0)"));
    EXPECT_FALSE(screen.isVisible("frSections(3)"));
    screen.setVisible("frSections(3)", true);
    EXPECT_TRUE(screen.isVisible("frSections(3)"));
    screen.setVisible("frSections(0)", false);
    EXPECT_FALSE(screen.isVisible("frSections(0)"));
}

TEST_F(WinScreenOps, MessageBoxesAreWindowsOwnWithTheirStyles) {
    struct Case {
        int style;
        std::string title;
        std::string shownTitle;
        LPCWSTR icon;  // the system icon: exclamation 32515, information 32516
    };
    for (const Case& c :
         {Case{0, "", "prjTolvex", nullptr},
          Case{48, "IE Startup Error", "IE Startup Error", MAKEINTRESOURCEW(32515)},
          Case{64, "Detection Error", "Detection Error", MAKEINTRESOURCEW(32516)}}) {
        SCOPED_TRACE(c.style);
        testing::MessageBoxSeen seen;
        int shown = 0;
        const bool answered =
            whileModal([&] { screen.messageBox("<i>Unable</i> to start & go", c.title, c.style); },
                       [&] {
                           const auto boxes = messageBoxes();
                           if (boxes.empty()) {
                               return false;
                           }
                           shown = static_cast<int>(boxes.size());
                           seen = readMessageBox(boxes.front());
                           pressOk(boxes.front());
                           return true;
                       });
        ASSERT_TRUE(answered);
        EXPECT_EQ(shown, 1);
        EXPECT_EQ(seen.title, c.shownTitle);
        EXPECT_EQ(seen.text, "<i>Unable</i> to start & go");
        ASSERT_EQ(seen.buttons.size(), 1u);
        EXPECT_EQ(seen.buttons[0], "OK");
        EXPECT_EQ(seen.hasIcon, c.icon != nullptr);
        if (c.icon) {
            EXPECT_EQ(seen.icon, LoadIconW(nullptr, c.icon));
        }
    }
    EXPECT_TRUE(messageBoxes().empty());
}

TEST_F(WinScreenOps, AboutBoxIsModalShowsTheVersionAndClosesWithEnterOrEsc) {
    system.showMainWindow();
    HWND main = system.mainWindow();
    for (const WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_ESCAPE}}) {
        SCOPED_TRACE(key);
        std::string version;
        bool mainEnabled = true;
        bool visible = false;
        const bool answered = whileModal(
            [&] { system.showAboutBox("Version: 1.0.6"); },
            [&] {
                HWND box = FindWindowW(L"TolvexAbout", nullptr);
                if (!box || !IsWindowVisible(box)) {
                    return false;
                }
                visible = true;
                version = textOf(GetDlgItem(
                    box, GetDlgCtrlID(FindWindowExW(box, nullptr, L"Static", L"Version: 1.0.6"))));
                mainEnabled = IsWindowEnabled(main) != FALSE;
                PostMessageW(GetFocus(), WM_KEYDOWN, key, 0);
                return true;
            });
        ASSERT_TRUE(answered);
        EXPECT_TRUE(visible);
        EXPECT_EQ(version, "Version: 1.0.6");
        EXPECT_FALSE(mainEnabled);
        EXPECT_TRUE(IsWindowEnabled(main));
        EXPECT_EQ(FindWindowW(L"TolvexAbout", nullptr), nullptr);
    }
}

// A failure a handler lets escape while the About box is open comes out of
// showAboutBox, and the box is gone with the main window enabled again.
TEST_F(WinScreenOps, AHandlerFailureInsideTheAboutBoxLeavesTheMainWindowEnabled) {
    system.showMainWindow();
    HWND main = system.mainWindow();
    WindowEvents events;
    events.sectionMenuClicked = [](std::int16_t) { throw Failure("Handler failed"); };
    system.setEvents(events);
    EXPECT_THROW(whileModal([&] { system.showAboutBox("Version: 1.0.6"); },
                            [&] {
                                HWND box = FindWindowW(L"TolvexAbout", nullptr);
                                if (!box || !IsWindowVisible(box)) {
                                    return false;
                                }
                                PostMessageW(main, WM_COMMAND, kSectionMenuCommand + 1, 0);
                                return true;
                            }),
                 Failure);
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_EQ(FindWindowW(L"TolvexAbout", nullptr), nullptr);
}

// After "Unable to detect CPU(s).", the selector shows no item as chosen,
// though it holds the items listed before the failure.
TEST_F(WinScreenOps, ASelectorShowsNoChoiceAfterItsDetectionFailed) {
    auto service = std::make_shared<tolvex::testing::InMemoryService>();
    service->add(wmi::cls::Processor, R"(\\HOST\root\cimv2:Win32_Processor.DeviceID="CPU0")",
                 {{wmi::prop::Name, ManagementValue::text("Processor 0")}});
    service->add(wmi::cls::Processor, R"(\\HOST\root\cimv2:Win32_Processor.DeviceID="CPU1")",
                 {{wmi::prop::Name, ManagementValue::text("Processor 1")}});
    service->inject({tolvex::testing::InMemoryService::Call::Property, wmi::cls::Processor, 1,
                     wmi::prop::Name, "Generic failure"});
    MainState state;
    state.ManagementService = service;
    NumberFormat format = NumberFormat::point();
    SectionContext context{screen, state, format};
    connectSelectorHandlers(context);

    std::string boxText;
    ASSERT_TRUE(whileModal([&] { DetectSystemCPUs(context); },
                           [&] {
                               const auto boxes = messageBoxes();
                               if (boxes.empty()) {
                                   return false;
                               }
                               boxText = readMessageBox(boxes.front()).text;
                               pressOk(boxes.front());
                               return true;
                           }));
    EXPECT_EQ(boxText.rfind("Unable to detect CPU(s).", 0), 0u) << boxText;
    HWND combo = find("cboCPUs");
    EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(textOf(combo), "");
    EXPECT_EQ(screen.text("lblType"), "...");
}

}  // namespace
}  // namespace tolvex::ui::win32
