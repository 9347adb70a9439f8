// The Windows program: frmMain over the native front end.
#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/Browser.h"
#include "app/CommandLine.h"
#include "app/ImmediateEnd.h"
#include "app/ProgramStart.h"
#include "app/frmMain.h"
#include "ui/ScreenDefinitions.h"
#include "ui/win32/LocaleFormat.h"
#include "ui/win32/Text.h"
#include "ui/win32/Win32WindowSystem.h"

namespace {

// Why the program cannot start: on the standard error stream where it leads
// somewhere (a console, a file, a pipe), else in a message box.
void reportStartFailure(const tolvex::ProgramChoice& choice) {
    const std::string text = "tolvex: " + choice.error + "\n" + tolvex::kProgramUsage + "\n";
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (error != nullptr && error != INVALID_HANDLE_VALUE &&
        WriteFile(error, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
        return;
    }
    MessageBoxW(nullptr, tolvex::ui::win32::wide(choice.error).c_str(), L"prjTolvex",
                MB_OK | MB_ICONERROR);
}

// The arguments after the program's name, as UTF-8.
std::vector<std::string> commandLineArguments() {
    std::vector<std::string> arguments;
    int count = 0;
    if (LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int k = 1; k < count; ++k) {
            arguments.push_back(tolvex::ui::win32::narrow(list[k]));
        }
        LocalFree(list);
    }
    return arguments;
}

}  // namespace

int main() {
    try {
        // A snapshot is read, and refused, before any window exists.
        const tolvex::ProgramChoice choice = tolvex::readCommandLine(commandLineArguments());
        if (!choice.error.empty()) {
            reportStartFailure(choice);
            return choice.status;
        }
        tolvex::ProgramStart start(choice.snapshot);

        tolvex::ui::win32::Win32WindowSystem windows(GetModuleHandleW(nullptr));
        SetWindowTextW(
            windows.mainWindow(),
            tolvex::ui::win32::wide(start.title(tolvex::ui::frmMainDefinition().caption)).c_str());
        tolvex::ImmediateProgramEnd programEnd;
        const std::unique_ptr<tolvex::BrowserLauncher> browser = tolvex::platformBrowser();

        tolvex::frmMain form(
            start.parts(windows, programEnd, *browser, tolvex::ui::win32::userNumberFormat()));
        form.Form_Load();
        form.show();
        return windows.runEventLoop();
    } catch (const std::exception& error) {
        // Nothing the handlers let escape should end the program silently.
        MessageBoxW(nullptr, tolvex::ui::win32::wide(error.what()).c_str(), L"prjTolvex",
                    MB_OK | MB_ICONERROR);
        return 1;
    }
}
