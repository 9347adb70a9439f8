#pragma once

#include <string>
#include <string_view>

namespace tolvex::ui::win32 {

// The program keeps its texts in UTF-8; Windows takes UTF-16 at every call.
// A byte sequence that is not UTF-8 becomes U+FFFD, never other letters.
std::wstring wide(std::string_view text);
std::string narrow(std::wstring_view utf16);

}  // namespace tolvex::ui::win32
