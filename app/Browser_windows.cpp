#include <windows.h>

#include <vector>

#include "app/Browser.h"

namespace tolvex {

std::string GetWindowsDrive() {
    char buffer[200] = {};
    const UINT written = GetWindowsDirectoryA(buffer, 200);
    if (written == 0 || written >= 200) {
        return {};
    }
    return std::string(1, buffer[0]);
}

namespace {

// The browser from its default folder on the system drive, maximised and
// given the focus; it is not waited for.
class DefaultFolderBrowser : public BrowserLauncher {
  public:
    bool openAddress(const std::string& address) override {
        const std::string commandLine = browserCommandLine(GetWindowsDrive(), address);
        if (commandLine.empty()) {
            return false;
        }
        std::vector<char> line(commandLine.begin(), commandLine.end());
        line.push_back('\0');
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWMAXIMIZED;
        PROCESS_INFORMATION process{};
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process)) {
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
