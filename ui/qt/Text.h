#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace tolvex::ui {

// The program keeps its texts in UTF-8; Qt holds them as QString. Bytes that
// are not UTF-8 show as the replacement character, never as other letters.
QString fromUtf8(std::string_view text);
std::string utf8(const QString& text);

}  // namespace tolvex::ui
