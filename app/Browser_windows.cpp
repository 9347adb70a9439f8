#include <windows.h>

#include <vector>

#include "app/Browser.h"
#include "base/Utf8.h"

namespace tolvex {

std::string GetWindowsDrive() {
    char buffer[200] = {};
    const UINT written = GetWindowsDirectoryA(buffer, 200);
    if (written == 0 || written >= 200) {
        return {};
    }
    return std::string(1, buffer[0]);
}

BrowserStart browserStart(std::string_view drive, std::string_view address) {
    // The browser's path is the command line's part before the address.
    std::string program = browserCommandLine(drive, "");
    if (program.empty()) {
        return {};
    }
    program.pop_back();  // the blank before the address
    // The path holds blanks: unquoted, Windows would try "C:\program.exe"
    // and "C:\program files\internet.exe" before the browser. It is named
    // as the program to start and quoted in the command line.
    return {program, "\"" + program + "\" " + std::string(address)};
}

namespace {

std::wstring wide(std::string_view text) {
    const std::u16string utf16 = utf8::toUtf16(text);
    return std::wstring(utf16.begin(), utf16.end());
}

// The browser from its default folder on the system drive, maximised and
// given the focus; it is not waited for.
class DefaultFolderBrowser : public BrowserLauncher {
  public:
    bool openAddress(const std::string& address) override {
        const BrowserStart start = browserStart(GetWindowsDrive(), address);
        if (start.program.empty()) {
            return false;
        }
        const std::wstring program = wide(start.program);
        std::wstring line = wide(start.commandLine);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWMAXIMIZED;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &startup, &process)) {
            return false;
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return true;
    }
};

}  // namespace

std::unique_ptr<BrowserLauncher> platformBrowser() {
    return std::make_unique<DefaultFolderBrowser>();
}

}  // namespace tolvex
