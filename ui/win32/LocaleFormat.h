#pragma once

#include <string>

#include "wmi/Conversions.h"

namespace tolvex::ui::win32 {

// The number format of a Windows locale, by its name ("de-DE"): the decimal
// and thousands separators from the locale's settings, and the words for
// true and false as the automation library writes Booleans for it. A locale
// whose separators are missing, or the same for both, keeps the English
// notation, since its numbers could not be read back; a Boolean word that
// cannot be had stays "True" or "False".
NumberFormat numberFormatForLocale(const std::wstring& localeName);

// The same for the user's own locale, read once at start.
NumberFormat userNumberFormat();

}  // namespace tolvex::ui::win32
