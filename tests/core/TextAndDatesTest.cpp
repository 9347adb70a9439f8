// The one UTF-8 reading and the one calendar every part of the program uses,
// and the date-times the Prometheus form reads through it.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "tools/QueryFormats.h"
#include "base/CivilDate.h"
#include "wmi/StaticObject.h"
#include "base/Utf8.h"

namespace {

using namespace tolvex;

// n replacement characters in UTF-8.
std::string replacements(int n) {
    std::string out;
    for (int k = 0; k < n; ++k) {
        out += "\xEF\xBF\xBD";
    }
    return out;
}

TEST(Utf8, EachByteThatStartsNoSequenceBecomesOneReplacement) {
    struct Case {
        std::string bytes;
        bool valid;
        std::string repaired;
        std::u16string utf16;
    };
    const std::string smile = "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    const Case cases[] = {
        {"", true, "", u""},
        {"ab", true, "ab", u"ab"},
        {smile, true, smile, u"\u00E9\u20AC\U0001F600"},
        {"\xF4\x8F\xBF\xBF", true, "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {"a\xFF"
         "b",
         false, "a" + replacements(1) + "b", u"a\uFFFDb"},
        {"\xC0\xAF", false, replacements(2), u"\uFFFD\uFFFD"},                      // overlong
        {"\xE0\x80\xAF", false, replacements(3), u"\uFFFD\uFFFD\uFFFD"},            // overlong
        {"\xED\xA0\x80", false, replacements(3), u"\uFFFD\uFFFD\uFFFD"},            // surrogate
        {"\xF0\x80\x80\xAF", false, replacements(4), u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // overlong
        {"\xF0\x8F\xBF\xBF", false, replacements(4), u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // overlong
        {"\xF0\x90\x80\x80", true, "\xF0\x90\x80\x80", u"\U00010000"},
        {"\xF4\x90\x80\x80", false, replacements(4), u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"x\xE2\x82", false, "x" + replacements(2), u"x\uFFFD\uFFFD"},  // cut off
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(utf8::isValid(c.bytes), c.valid);
        EXPECT_EQ(utf8::repaired(c.bytes), c.repaired);
        EXPECT_EQ(utf8::toUtf16(c.bytes), c.utf16);
    }
}

// The boot time of an operating system in the Prometheus form, or "" when
// the form leaves the sample out.
std::string bootSample(const std::string& dateTime) {
    auto os = std::make_shared<StaticObject>(
        "Win32_OperatingSystem", "\\\\HOST\\root\\cimv2:Win32_OperatingSystem=@",
        std::vector<StaticObject::Property>{{"LastBootUpTime", ManagementValue::text(dateTime)}});
    const std::string out = query::formatPrometheus({{"Win32_OperatingSystem", {os}}});
    const std::string series = "\ntolvex_operating_system_last_boot_time_seconds ";
    const auto at = out.find(series);
    if (at == std::string::npos) {
        return "";
    }
    const auto start = at + series.size();
    return out.substr(start, out.find('\n', start) - start);
}

TEST(CivilDate, OnlyDatesOfTheCalendarAreAcceptedAndCountedRightEverywhere) {
    struct Case {
        int year, month, day;
        bool valid;
        std::int64_t days;  // since 1970-01-01, where valid
    };
    const Case cases[] = {
        {1970, 1, 1, true, 0},         {1969, 12, 31, true, -1},    {2000, 2, 29, true, 11016},
        {2024, 2, 29, true, 19782},    {2024, 12, 31, true, 20088}, {1, 1, 1, true, -719162},
        {9999, 12, 31, true, 2932896}, {2023, 2, 29, false, 0},     {1900, 2, 29, false, 0},
        {2024, 2, 30, false, 0},       {2024, 2, 31, false, 0},     {2023, 4, 31, false, 0},
        {2023, 11, 31, false, 0},      {2023, 13, 1, false, 0},     {2023, 0, 10, false, 0},
        {2023, 1, 0, false, 0},        {2023, 1, 32, false, 0},
    };
    for (const Case& c : cases) {
        char dateTime[32];
        std::snprintf(dateTime, sizeof dateTime, "%04d%02d%02d000000.000000+000", c.year, c.month,
                      c.day);
        SCOPED_TRACE(dateTime);
        EXPECT_EQ(civil::isValidDate(c.year, c.month, c.day), c.valid);
        if (c.valid) {
            EXPECT_EQ(civil::daysFromCivil(c.year, c.month, c.day), c.days);
            const civil::Date back = civil::civilFromDays(c.days);
            EXPECT_EQ(back.year, c.year);
            EXPECT_EQ(back.month, c.month);
            EXPECT_EQ(back.day, c.day);
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%lld", static_cast<long long>(c.days) * 86400);
            EXPECT_EQ(bootSample(dateTime), seconds);
        } else {
            EXPECT_EQ(bootSample(dateTime), "");
        }
    }
}

}  // namespace
