#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace tolvex {

// The author's web page, opened from File, "Goto Tolvex web site".
inline constexpr const char* kAuthorWebPage = "https://tolvex.org/";

// Opens a web address in a browser without waiting for it. False when the
// browser cannot be started.
class BrowserLauncher {
  public:
    virtual ~BrowserLauncher() = default;
    virtual bool openAddress(const std::string& address) = 0;
};

// This platform's launcher: on Windows the browser in its default folder on
// the system drive, elsewhere the desktop's default browser.
std::unique_ptr<BrowserLauncher> platformBrowser();

// The command line that starts the browser from its default folder: the
// drive letter, the browser's path with its trailing blank, the address.
// Empty when the drive is unknown.
std::string browserCommandLine(std::string_view drive, std::string_view address);

// Windows only: the drive letter of the installation directory, or the
// empty text when it cannot be read.
std::string GetWindowsDrive();

// Windows only: how the browser is started from its default folder. The
// program's path is handed to the system as the program to run and stands
// quoted in the command line, so that its blanks do not make Windows try
// "C:\program.exe" first. Both empty when the drive is unknown.
struct BrowserStart {
    std::string program;
    std::string commandLine;
};
BrowserStart browserStart(std::string_view drive, std::string_view address);

}  // namespace tolvex
