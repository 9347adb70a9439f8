#include "ui/win32/Text.h"

#include <windows.h>

#include "base/Utf8.h"

namespace tolvex::ui::win32 {

std::wstring wide(std::string_view text) {
    // Converted by the program itself rather than MultiByteToWideChar, so
    // that each byte that starts no well-formed sequence becomes one U+FFFD
    // the same on every Windows version and under Wine.
    const std::u16string utf16 = utf8::toUtf16(text);
    return std::wstring(utf16.begin(), utf16.end());
}

std::string narrow(std::wstring_view utf16) {
    if (utf16.empty()) {
        return {};
    }
    const int chars = static_cast<int>(utf16.size());
    const int needed =
        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), chars, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) {
        return {};
    }
    std::string result(static_cast<std::size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), chars, result.data(), needed, nullptr, nullptr);
    return result;
}

}  // namespace tolvex::ui::win32
