// The Windows program: frmMain over the native front end.
#include <windows.h>

#include <exception>

#include "app/Browser.h"
#include "app/ImmediateEnd.h"
#include "app/frmMain.h"
#include "net/Sockets.h"
#include "ui/win32/LocaleFormat.h"
#include "ui/win32/Text.h"
#include "ui/win32/Win32WindowSystem.h"
#include "wmi/Management.h"

int main() {
    try {
        tolvex::ui::win32::Win32WindowSystem windows(GetModuleHandleW(nullptr));
        tolvex::ImmediateProgramEnd programEnd;
        const std::unique_ptr<tolvex::BrowserLauncher> browser = tolvex::platformBrowser();

        tolvex::frmMain form({
            [](std::string_view moniker) { return tolvex::Connect(moniker); },
            windows,
            tolvex::platformSockets(),
            programEnd,
            *browser,
            tolvex::ui::win32::userNumberFormat(),
        });
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
