// The live window under Wine, read back from its controls, for the test on
// Linux that opens the snapshot tolvex-query.exe took of the same service
// (tests/ui/SnapshotAcrossPlatformsTest.cpp): the texts are written to the
// file TOLVEX_WINDOWS_PICTURE names.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "app/Browser.h"
#include "app/frmMain.h"
#include "net/Sockets.h"
#include "tests/support/RecordingProgramEnd.h"
#include "tests/support/ScreenPicture.h"
#include "tests/windows/WindowTestSupport.h"
#include "ui/win32/Text.h"
#include "ui/win32/Win32WindowSystem.h"
#include "wmi/Management.h"

namespace tolvex::ui::win32 {
namespace {

class NoBrowser : public BrowserLauncher {
  public:
    bool openAddress(const std::string&) override { return false; }
};

std::string itemText(HWND control, UINT lengthMessage, UINT textMessage, int k) {
    const auto length = SendMessageW(control, lengthMessage, static_cast<WPARAM>(k), 0);
    std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    SendMessageW(control, textMessage, static_cast<WPARAM>(k),
                 reinterpret_cast<LPARAM>(text.data()));
    text.resize(wcslen(text.c_str()));
    return narrow(text);
}

tolvex::testing::ControlReader readerOf(Win32WindowSystem& real) {
    tolvex::testing::ControlReader read;
    read.items = [&real](const std::string& name) {
        HWND combo = real.mainControls().find(name);
        std::vector<std::string> out;
        const auto count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
        for (int k = 0; k < count; ++k) {
            out.push_back(itemText(combo, CB_GETLBTEXTLEN, CB_GETLBTEXT, k));
        }
        return out;
    };
    read.lines = [&real](const std::string& name) {
        HWND list = real.mainControls().find(name);
        std::vector<std::string> out;
        const auto count = SendMessageW(list, LB_GETCOUNT, 0, 0);
        for (int k = 0; k < count; ++k) {
            out.push_back(itemText(list, LB_GETTEXTLEN, LB_GETTEXT, k));
        }
        return out;
    };
    read.rows = [&real](const std::string& name) {
        HWND view = real.mainControls().find(name);
        std::vector<std::vector<std::string>> out;
        const auto count = SendMessageW(view, LVM_GETITEMCOUNT, 0, 0);
        for (int r = 0; r < count; ++r) {
            std::vector<std::string> row;
            for (std::size_t c = 0; c < ui::driveColumns().size(); ++c) {
                wchar_t buffer[1024] = {};
                LVITEMW item{};
                item.iSubItem = static_cast<int>(c);
                item.pszText = buffer;
                item.cchTextMax = 1024;
                SendMessageW(view, LVM_GETITEMTEXTW, static_cast<WPARAM>(r),
                             reinterpret_cast<LPARAM>(&item));
                row.push_back(narrow(buffer));
            }
            out.push_back(row);
        }
        return out;
    };
    return read;
}

TEST(WinSnapshot, TheLiveWindowIsReadBackForTheSnapshotOnLinux) {
    const char* output = std::getenv("TOLVEX_WINDOWS_PICTURE");
    if (output == nullptr) {
        GTEST_SKIP() << "TOLVEX_WINDOWS_PICTURE names no file";
    }
    Win32WindowSystem real;
    tolvex::testing::RecordingProgramEnd programEnd;
    NoBrowser browser;
    frmMain form({[](std::string_view moniker) { return Connect(moniker); }, real,
                  platformSockets(), programEnd, browser, NumberFormat::point()});
    form.Form_Load();
    form.show();
    std::string picture;
    std::string boxes;
    const bool ended = testing::whileModal(
        [&] { real.runEventLoop(); },
        [&] {
            for (HWND box : testing::messageBoxes()) {
                const auto seen = testing::readMessageBox(box);
                boxes += "box " + seen.title + " / " + seen.text + "\n";
                testing::pressOk(box);
                return false;
            }
            if (!form.state().DetectionDone) {
                return false;
            }
            picture = tolvex::testing::walkedPicture(real.screen(), readerOf(real));
            PostMessageW(real.mainWindow(), WM_COMMAND, kFileMenuCommand + 4, 0);
            return true;
        },
        3000);
    ASSERT_TRUE(ended) << "the sequence did not end";
    ASSERT_NE(picture.find("lblCPUCount = "), std::string::npos);
    std::FILE* file = std::fopen(output, "wb");
    ASSERT_NE(file, nullptr) << output;
    const std::string all = picture + boxes;
    EXPECT_EQ(std::fwrite(all.data(), 1, all.size(), file), all.size());
    EXPECT_EQ(std::fclose(file), 0);
}

}  // namespace
}  // namespace tolvex::ui::win32
