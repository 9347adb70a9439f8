// The number format read from Windows locales under Wine: separators from
// the locale's settings, Boolean words from the automation library.
#include <windows.h>

#include <gtest/gtest.h>

#include "ui/win32/LocaleFormat.h"
#include "wmi/Conversions.h"

namespace tolvex::ui::win32 {
namespace {

TEST(WinLocale, SeparatorsAndBooleanWordsComeFromTheLocale) {
    struct Case {
        const wchar_t* locale;
        const char* decimal;
        const char* thousands;
    };
    for (const Case& c : {Case{L"en-US", ".", ","}, Case{L"de-DE", ",", "."},
                          Case{L"fr-FR", ",", "\xE2\x80\xAF"}}) {
        SCOPED_TRACE(std::string(c.decimal) + " " + c.thousands);
        const NumberFormat format = numberFormatForLocale(c.locale);
        EXPECT_EQ(format.decimalSeparator, c.decimal);
        // French groups with a narrow no-break space on current systems and a
        // no-break space on older ones.
        if (std::string(c.thousands) == "\xE2\x80\xAF") {
            EXPECT_TRUE(format.thousandsSeparator == "\xE2\x80\xAF" ||
                        format.thousandsSeparator == "\xC2\xA0")
                << format.thousandsSeparator;
        } else {
            EXPECT_EQ(format.thousandsSeparator, c.thousands);
        }
        EXPECT_FALSE(format.trueWord.empty());
        EXPECT_FALSE(format.falseWord.empty());
        EXPECT_NE(format.trueWord, format.falseWord);
    }
    const NumberFormat english = numberFormatForLocale(L"en-US");
    EXPECT_EQ(english.trueWord, "True");
    EXPECT_EQ(english.falseWord, "False");
    // The masks read the separators back as they were written.
    const NumberFormat german = numberFormatForLocale(L"de-DE");
    EXPECT_EQ(formatMask(1234567.0, "###,###", german), "1.234.567");
    EXPECT_EQ(formatMask(2.5, "0.00", german), "2,50");
}

TEST(WinLocale, AnUnknownLocaleKeepsTheEnglishNotation) {
    const NumberFormat format = numberFormatForLocale(L"xx-NOWHERE");
    EXPECT_EQ(format.decimalSeparator, ".");
    EXPECT_EQ(format.thousandsSeparator, ",");
    EXPECT_EQ(format.trueWord, "True");
}

TEST(WinLocale, TheUsersFormatIsUsable) {
    const NumberFormat format = userNumberFormat();
    EXPECT_FALSE(format.decimalSeparator.empty());
    EXPECT_NE(format.decimalSeparator, format.thousandsSeparator);
    EXPECT_FALSE(format.trueWord.empty());
}

}  // namespace
}  // namespace tolvex::ui::win32
