#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "ui/Screen.h"
#include "ui/WindowSystem.h"
#include "ui/win32/NativeControls.h"

namespace tolvex::ui::win32 {

// The title of a message box given none.
inline constexpr const char* kApplicationTitle = "prjTolvex";

// The menu commands: File's items and the section items, by their index in
// their control array.
inline constexpr int kFileMenuCommand = 100;
inline constexpr int kSectionMenuCommand = 200;

// The window system of the Windows program: frmMain, frmLoading and frmAbout
// built from their definitions with Windows' own controls, the screen
// operations over them, message boxes and the message loop. All of it runs
// on the thread that made it.
class Win32WindowSystem final : public WindowSystem, private Screen {
  public:
    // Builds frmMain, hidden; the program's resources (pictures, icon) come
    // from `instance`.
    explicit Win32WindowSystem(HINSTANCE instance = GetModuleHandleW(nullptr));
    ~Win32WindowSystem() override;
    Win32WindowSystem(const Win32WindowSystem&) = delete;
    Win32WindowSystem& operator=(const Win32WindowSystem&) = delete;

    Screen& screen() override { return *this; }
    void setEvents(WindowEvents events) override;
    void showMainWindow() override;
    void closeMainWindow() override;
    void showLoadingWindow() override;
    bool loadingWindowLoaded() const override;
    void unloadLoadingWindow() override;
    void showAboutBox(const std::string& versionText) override;
    int runEventLoop() override;

    // The windows and the controls built from the definitions, for whoever
    // reads the screens back.
    HWND mainWindow() const;
    HWND loadingWindow() const;
    const WindowControls& mainControls() const { return *m_main; }
    const WindowControls* loadingControls() const { return m_loading.get(); }

    // Builds a window of `definition` (its class registered by this object)
    // without showing it; frmAbout is built this way by showAboutBox.
    std::unique_ptr<WindowControls> buildWindow(const WindowDefinition& definition, HWND owner);

  private:
    // Screen.
    void setText(std::string_view field, const std::string& text) override;
    void setNullNote(std::string_view field, const std::string& note) override;
    std::string text(std::string_view field) const override;
    void addItem(std::string_view selector, const std::string& text) override;
    int itemCount(std::string_view selector) const override;
    int selectedIndex(std::string_view selector) const override;
    void setSelectedIndex(std::string_view selector, int index) override;
    void addListLine(std::string_view list, const std::string& text) override;
    int addRow(std::string_view listView, const std::string& firstColumn) override;
    void setRowText(std::string_view listView, int row, int column,
                    const std::string& text) override;
    int selectedRow(std::string_view listView) const override;
    void messageBox(const std::string& text, const std::string& title, int style) override;
    void setVisible(std::string_view panel, bool visible) override;
    bool isVisible(std::string_view panel) const override;
    void setClickHandler(std::string_view element, std::function<void()> handler) override;

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT mainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void onMenuCommand(HWND window, WORD source, WORD command);
    void onControlCommand(HWND window, HWND control, WORD code);
    void onNotify(const NMHDR& header);
    LRESULT loadingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT aboutProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // The control of `name` in frmMain or frmLoading (which naming one of
    // its elements loads) with the element it was built from; a name that
    // does not exist, or is of another kind, is a failure.
    HWND control(std::string_view name, Kind kind) const;
    HWND anyControl(std::string_view name) const;
    void ensureLoadingWindow();
    void raiseClick(std::string_view element);
    void buildMenu(const WindowControls& controls);
    // Runs a handler; a failure escaping it is kept, not thrown through the
    // window system's frames, and raised again from the message loop.
    template <class Function>
    void guarded(Function&& function);
    void rethrowPending();

    HINSTANCE m_instance;
    HICON m_bigIcon = nullptr;
    HICON m_smallIcon = nullptr;
    // Ctrl+C in frmMain.
    HACCEL m_accelerators = nullptr;
    std::unique_ptr<WindowControls> m_main;
    std::unique_ptr<WindowControls> m_loading;
    std::unique_ptr<WindowControls> m_about;
    bool m_aboutClosed = false;
    bool m_unloaded = false;
    std::exception_ptr m_pendingFailure;
    WindowEvents m_events;
    std::map<std::string, std::function<void()>, std::less<>> m_handlers;
    // The selectors whose pick is posted and not yet raised.
    std::set<HWND> m_pendingPicks;
};

}  // namespace tolvex::ui::win32
