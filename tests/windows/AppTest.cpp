// The Windows pieces of the File menu's browser start, under Wine.
#include <windows.h>

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

TEST(WinApp, CommandLineNamesTheBrowserOnTheWindowsDrive) {
    const std::string line =
        tolvex::browserCommandLine(tolvex::GetWindowsDrive(), tolvex::kAuthorWebPage);
    const std::string browser = line.substr(0, line.rfind(' '));
    EXPECT_EQ(line, browser + " " + tolvex::kAuthorWebPage);
    // Wine installs its own browser at the default folder.
    EXPECT_NE(GetFileAttributesA(browser.c_str()), INVALID_FILE_ATTRIBUTES) << browser;
}

}  // namespace
