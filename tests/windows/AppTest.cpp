// The Windows pieces of the File menu's browser start, under Wine.
#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "app/Browser.h"

namespace {

TEST(WinApp, GetWindowsDriveIsTheSystemRootsDrive) {
    const char* root = std::getenv("SystemRoot");
    ASSERT_NE(root, nullptr);
    const std::string drive = tolvex::GetWindowsDrive();
    ASSERT_EQ(drive.size(), 1u);
    EXPECT_EQ(drive[0], root[0]);
}

// The browser's path holds blanks. Started as the command line's first word
// unquoted, Windows would look for "C:\program.exe" first; it is named as the
// program and quoted, and the address stays one argument after it.
TEST(WinApp, TheBrowserIsStartedByItsQuotedPath) {
    const tolvex::BrowserStart start = tolvex::browserStart("C", tolvex::kAuthorWebPage);
    EXPECT_EQ(start.program, "C:\\program files\\internet explorer\\iexplore.exe");
    EXPECT_EQ(start.commandLine,
              "\"C:\\program files\\internet explorer\\iexplore.exe\" https://tolvex.org/");

    int count = 0;
    LPWSTR* words = CommandLineToArgvW(
        L"\"C:\\program files\\internet explorer\\iexplore.exe\" https://tolvex.org/", &count);
    ASSERT_NE(words, nullptr);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(std::wstring(words[0]), L"C:\\program files\\internet explorer\\iexplore.exe");
    EXPECT_EQ(std::wstring(words[1]), L"https://tolvex.org/");
    LocalFree(words);

    const tolvex::BrowserStart none = tolvex::browserStart("", tolvex::kAuthorWebPage);
    EXPECT_TRUE(none.program.empty());
    EXPECT_TRUE(none.commandLine.empty());
}

TEST(WinApp, TheBrowserIsInItsDefaultFolderOnTheWindowsDrive) {
    const tolvex::BrowserStart start =
        tolvex::browserStart(tolvex::GetWindowsDrive(), tolvex::kAuthorWebPage);
    // Wine installs its own browser at the default folder.
    EXPECT_NE(GetFileAttributesA(start.program.c_str()), INVALID_FILE_ATTRIBUTES) << start.program;
    EXPECT_EQ(start.commandLine, "\"" + start.program + "\" " + tolvex::kAuthorWebPage);
}

}  // namespace
