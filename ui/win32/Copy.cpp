#include "ui/win32/Copy.h"

#include <commctrl.h>

#include <cstring>

#include "ui/win32/NativeControls.h"
#include "ui/win32/Text.h"

namespace tolvex::ui::win32 {

namespace {

// The text of a selector's item (CB_GETLBTEXTLEN, CB_GETLBTEXT) or of a
// list box's line (LB_GETTEXTLEN, LB_GETTEXT); empty for no item (-1).
std::string itemText(HWND control, LRESULT index, UINT lengthMessage, UINT textMessage) {
    if (index < 0) {
        return {};
    }
    const LRESULT length = SendMessageW(control, lengthMessage, static_cast<WPARAM>(index), 0);
    if (length < 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(control, textMessage, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return narrow(text);
}

std::string comboItem(HWND combo, LRESULT index) {
    return itemText(combo, index, CB_GETLBTEXTLEN, CB_GETLBTEXT);
}

std::string listLine(HWND list, LRESULT index) {
    return itemText(list, index, LB_GETTEXTLEN, LB_GETTEXT);
}

std::string viewCell(HWND view, int row, int column) {
    return narrow(cellText(view, row, column));
}

std::vector<std::string> viewRow(HWND view, int row) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(view, LVM_GETHEADER, 0, 0));
    const int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    std::vector<std::string> cells;
    for (int column = 0; column < columns; ++column) {
        cells.push_back(viewCell(view, row, column));
    }
    return cells;
}

// The element a control belongs to: its own, or for the edit field inside a
// selector the selector's.
std::pair<HWND, const Element*> owningElement(const WindowControls& main, HWND control) {
    for (HWND at = control; at && at != main.window(); at = GetParent(at)) {
        if (const Element* element = main.elementOf(at)) {
            return {at, element};
        }
        if (at != control) {
            break;
        }
    }
    return {nullptr, nullptr};
}

// The deepest visible control of `window` under `point` (screen coordinates).
HWND controlAt(HWND window, POINT point) {
    HWND at = window;
    for (;;) {
        POINT client = point;
        ScreenToClient(at, &client);
        HWND child = ChildWindowFromPointEx(at, client, CWP_SKIPINVISIBLE);
        if (!child || child == at) {
            return at;
        }
        at = child;
    }
}

}  // namespace

std::string ControlsReader::labelText(std::string_view label) const {
    HWND control = m_controls.find(label);
    return control ? narrow(textOf(control)) : std::string();
}

std::string ControlsReader::chosenItem(std::string_view selector) const {
    HWND combo = m_controls.find(selector);
    return combo ? comboItem(combo, SendMessageW(combo, CB_GETCURSEL, 0, 0)) : std::string();
}

std::vector<std::vector<std::string>> ControlsReader::rows(std::string_view list) const {
    HWND control = m_controls.find(list);
    const Element* element = control ? m_controls.elementOf(control) : nullptr;
    std::vector<std::vector<std::string>> rows;
    if (element && element->kind == Kind::ListBox) {
        const LRESULT count = SendMessageW(control, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            rows.push_back({listLine(control, i)});
        }
    } else if (element && element->kind == Kind::ListView) {
        const int count = static_cast<int>(SendMessageW(control, LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < count; ++row) {
            rows.push_back(viewRow(control, row));
        }
    }
    return rows;
}

std::string shownPanelText(const WindowControls& main) {
    return ui::shownPanelText(
        main.definition(), ControlsReader(main),
        [&main](std::string_view panel) {
            HWND control = main.find(panel);
            return control && (GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE);
        },
        "\r\n");
}

std::string selectedValue(const WindowControls& main) {
    HWND focus = GetFocus();
    const auto [control, element] = owningElement(main, focus);
    if (!element) {
        return {};
    }
    switch (element->kind) {
        case Kind::ComboBox: {
            // The part of the field the user has selected (all of it, as a
            // selector shows its item when it takes the focus).
            if (focus == control) {
                return {};
            }
            DWORD start = 0, end = 0;
            SendMessageW(focus, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                         reinterpret_cast<LPARAM>(&end));
            const std::wstring text = textOf(focus);
            if (start >= end || end > text.size()) {
                return {};
            }
            return narrow(text.substr(start, end - start));
        }
        case Kind::ListBox:
            return listLine(control, SendMessageW(control, LB_GETCURSEL, 0, 0));
        case Kind::ListView: {
            const LRESULT row =
                SendMessageW(control, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
            return row < 0 ? std::string() : tabSeparated(viewRow(control, static_cast<int>(row)));
        }
        default:
            return {};
    }
}

std::string valueAt(const WindowControls& main, POINT point) {
    HWND under = controlAt(main.window(), point);
    const auto [control, element] = owningElement(main, under);
    if (!element) {
        return {};
    }
    POINT client = point;
    ScreenToClient(control, &client);
    switch (element->kind) {
        case Kind::Label:
            if (!element->buddy.empty()) {
                // A caption: the value it introduces.
                HWND value = main.find(element->buddy);
                return value ? narrow(textOf(value)) : std::string();
            }
            return narrow(textOf(control));
        case Kind::ComboBox:
            return comboItem(control, SendMessageW(control, CB_GETCURSEL, 0, 0));
        case Kind::ListBox: {
            const LRESULT hit =
                SendMessageW(control, LB_ITEMFROMPOINT, 0, MAKELPARAM(client.x, client.y));
            return HIWORD(hit) != 0 ? std::string() : listLine(control, LOWORD(hit));
        }
        case Kind::ListView: {
            LVHITTESTINFO hit{};
            hit.pt = client;
            if (SendMessageW(control, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)) < 0 ||
                !(hit.flags & LVHT_ONITEM)) {
                return {};
            }
            return viewCell(control, hit.iItem, hit.iSubItem);
        }
        default:
            return {};
    }
}

bool copyText(HWND owner, const std::string& text) {
    const std::wstring unicode = wide(text);
    const std::size_t bytes = (unicode.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory) {
        return false;
    }
    void* data = GlobalLock(memory);
    std::memcpy(data, unicode.c_str(), bytes);
    GlobalUnlock(memory);
    // Another program may hold the clipboard for a moment.
    bool open = false;
    for (int attempt = 0; attempt < 10 && !(open = OpenClipboard(owner) != FALSE); ++attempt) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    if (!open) {
        GlobalFree(memory);
        return false;
    }
    EmptyClipboard();
    const bool placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    if (!placed) {
        GlobalFree(memory);  // the clipboard owns it only once placed
    }
    return placed;
}

std::string copiedByShortcut(const WindowControls& main) {
    std::string value = selectedValue(main);
    return value.empty() ? shownPanelText(main) : value;
}

void showCopyMenu(const WindowControls& main, POINT point) {
    std::string value;
    if (point.x == -1 && point.y == -1) {
        // From the keyboard: what the focused control has selected, the menu
        // at that control.
        value = selectedValue(main);
        RECT rect{};
        HWND focus = GetFocus();
        GetWindowRect(focus && IsChild(main.window(), focus) ? focus : main.window(), &rect);
        point = {rect.left, rect.top};
    } else {
        value = valueAt(main, point);
    }
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, value.empty() ? UINT{MF_STRING | MF_GRAYED} : UINT{MF_STRING},
                kCopyValueCommand, L"&Copy");
    AppendMenuW(menu, MF_STRING, kCopyPanelCommand, L"Copy &panel");
    const int command =
        static_cast<int>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                        point.x, point.y, 0, main.window(), nullptr));
    DestroyMenu(menu);
    if (command == kCopyValueCommand) {
        copyText(main.window(), value);
    } else if (command == kCopyPanelCommand) {
        copyText(main.window(), shownPanelText(main));
    }
}

}  // namespace tolvex::ui::win32
