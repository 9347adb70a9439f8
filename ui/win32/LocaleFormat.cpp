#include "ui/win32/LocaleFormat.h"

#include <windows.h>

#include <oleauto.h>

#include "ui/win32/Text.h"

namespace tolvex::ui::win32 {

namespace {

std::string localeText(const wchar_t* localeName, LCTYPE type) {
    wchar_t buffer[16] = {};
    const int length = GetLocaleInfoEx(localeName, type, buffer, 16);
    return length > 1 ? narrow(std::wstring_view(buffer, static_cast<std::size_t>(length - 1)))
                      : std::string();
}

// The word the automation library writes for a Boolean in this locale
// (VarBstrFromBool with VAR_LOCALBOOL), or the empty text.
std::string booleanWord(LCID locale, bool value) {
    BSTR word = nullptr;
    const VARIANT_BOOL flag = value ? VARIANT_TRUE : VARIANT_FALSE;
    if (FAILED(VarBstrFromBool(flag, locale, VAR_LOCALBOOL, &word)) || !word) {
        return {};
    }
    std::string text = narrow(std::wstring_view(word, SysStringLen(word)));
    SysFreeString(word);
    return text;
}

NumberFormat formatFor(const wchar_t* localeName, LCID locale) {
    NumberFormat format = NumberFormat::point();
    const std::string decimal = localeText(localeName, LOCALE_SDECIMAL);
    const std::string group = localeText(localeName, LOCALE_STHOUSAND);
    if (!decimal.empty() && !group.empty() && decimal != group) {
        format.decimalSeparator = decimal;
        format.thousandsSeparator = group;
    }
    if (std::string word = booleanWord(locale, true); !word.empty()) {
        format.trueWord = std::move(word);
    }
    if (std::string word = booleanWord(locale, false); !word.empty()) {
        format.falseWord = std::move(word);
    }
    return format;
}

}  // namespace

NumberFormat numberFormatForLocale(const std::wstring& localeName) {
    const LCID locale = LocaleNameToLCID(localeName.c_str(), 0);
    if (locale == 0) {
        return NumberFormat::point();
    }
    return formatFor(localeName.c_str(), locale);
}

NumberFormat userNumberFormat() {
    return formatFor(LOCALE_NAME_USER_DEFAULT, LOCALE_USER_DEFAULT);
}

}  // namespace tolvex::ui::win32
