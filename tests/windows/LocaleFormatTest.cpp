// The number format read from Windows locales under Wine: separators from
// the locale's settings, Boolean words from the automation library.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ui/win32/LocaleFormat.h"
#include "ui/win32/Text.h"
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

// The user's own format under the locale the harness gave Wine's user
// (TOLVEX_USER_LOCALE names it: de-DE or en-US): German separators and
// Boolean words from the automation library for German, which are not the
// English ones; under English "True" and "False".
TEST(WinLocale, TheUsersFormatFollowsTheUsersLocale) {
    const char* given = std::getenv("TOLVEX_USER_LOCALE");
    if (!given) {
        GTEST_SKIP() << "run with TOLVEX_USER_LOCALE naming the user locale Wine was given";
    }
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    ASSERT_GT(GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH), 0);
    ASSERT_EQ(narrow(name), given) << "Wine did not take the locale";
    const NumberFormat format = userNumberFormat();
    if (std::string(given) == "de-DE") {
        EXPECT_EQ(format.decimalSeparator, ",");
        EXPECT_EQ(format.thousandsSeparator, ".");
        EXPECT_NE(format.trueWord, "True");
        EXPECT_NE(format.falseWord, "False");
        EXPECT_FALSE(format.trueWord.empty());
        EXPECT_FALSE(format.falseWord.empty());
        EXPECT_NE(format.trueWord, format.falseWord);
    } else {
        EXPECT_EQ(format.decimalSeparator, ".");
        EXPECT_EQ(format.thousandsSeparator, ",");
        EXPECT_EQ(format.trueWord, "True");
        EXPECT_EQ(format.falseWord, "False");
    }
    std::printf("user locale %s: %s / %s\n", given, format.trueWord.c_str(),
                format.falseWord.c_str());
}

}  // namespace
}  // namespace tolvex::ui::win32
