// Zone offsets from the system's zone database and from POSIX rules, worked
// out without the process's own zone. Expected offsets are the zones'
// published rules at the given moments.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "wmi/linux/ZoneOffset.h"

namespace tolvex::testing {
namespace {

namespace zone = linuxprov::zone;

TEST(ZoneOffset, PosixRules) {
    struct Case {
        const char* rule;
        long long seconds;
        std::optional<int> minutes;
    };
    const Case cases[] = {
        // Central Europe changes at 01:00 UTC on the last Sundays of March
        // and October (2021-03-28, 2021-10-31).
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1616893199, 60},
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1616893200, 120},
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1635641999, 120},
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1635642000, 60},
        // Southern hemisphere: daylight time spans the new year.
        {"ACST-9:30ACDT,M10.1.0,M4.1.0/3", 1356998400, 630},
        {"ACST-9:30ACDT,M10.1.0,M4.1.0/3", 1372179561, 570},
        {"<+0545>-5:45", 1372179561, 345},
        {"<-03>3", 1372179561, -180},
        // No rules: the C library's default (the United States' rules).
        {"EST5EDT", 1625097600, -240},
        {"EST5EDT", 1609459200, -300},
        // Daylight time all year, the example of RFC 8536.
        {"XXX3EDT4,0/0,J365/25", 1622505600, -240},
        {"XXX3EDT4,0/0,J365/25", 1609461000, -240},
        {"", 0, std::nullopt},
        {"X5", 0, std::nullopt},
        {"CET", 0, std::nullopt},
        {"CET-1CEST,M13.5.0,M10.5.0", 0, std::nullopt},
        {"CET-1CEST,M3.5.0", 0, std::nullopt},
        {"CET-1CEST,M3.5.0,M10.5.0/3 trailing", 0, std::nullopt},
        {"<+05", 0, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.rule) + " at " + std::to_string(c.seconds));
        EXPECT_EQ(zone::ruleOffsetMinutes(c.rule, c.seconds), c.minutes);
    }
}

TEST(ZoneOffset, NamedZonesBeforeAndAfterTheirLastTransition) {
    if (!zone::namedZoneOffsetMinutes("UTC", 0)) {
        GTEST_SKIP() << "no zone database in /usr/share/zoneinfo (Debian's tzdata)";
    }
    struct Case {
        const char* zone;
        long long seconds;
        std::optional<int> minutes;
    };
    const Case cases[] = {
        {"Europe/Berlin", 1616893199, 60},
        {"Europe/Berlin", 1616893200, 120},
        // 2100: past every transition the file lists, so the footer rule.
        {"Europe/Berlin", 4118126400, 120},
        {"Europe/Berlin", 4103697600, 60},
        {"Australia/Adelaide", 4103697600, 630},
        {"Australia/Adelaide", 4118126400, 570},
        {"Asia/Kathmandu", 1372179561, 345},
        {"America/St_Johns", 1372179561, -150},
        // Berlin kept local mean time (+53:28) until 1893.
        {"Europe/Berlin", -3000000000, 53},
        {"UTC", 4118126400, 0},
        {"No/Such_Zone", 0, std::nullopt},
        {"../../etc/passwd", 0, std::nullopt},
        {"/etc/localtime", 0, std::nullopt},
        {"", 0, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + " at " + std::to_string(c.seconds));
        EXPECT_EQ(zone::namedZoneOffsetMinutes(c.zone, c.seconds), c.minutes);
    }
}

TEST(ZoneOffset, DataThatIsNotAZoneFileHasNoOffset) {
    std::ifstream in("/usr/share/zoneinfo/Europe/Berlin", std::ios::binary);
    const std::string berlin{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (berlin.size() < 100) {
        GTEST_SKIP() << "no zone database in /usr/share/zoneinfo (Debian's tzdata)";
    }
    EXPECT_EQ(zone::offsetMinutes("", 0), std::nullopt);
    EXPECT_EQ(zone::offsetMinutes("not a zone file at all, but long enough to have a header", 0),
              std::nullopt);
    // Cut anywhere inside its data, the file answers nothing rather than
    // reading past its end.
    for (std::size_t size = 0; size + 40 < berlin.size(); size += 37) {
        EXPECT_EQ(zone::offsetMinutes(berlin.substr(0, size), 1616893200), std::nullopt) << size;
    }
}

// A zone file of version `version` without transitions: one type, "EST",
// `utoff` seconds east, then the rule.
std::string zoneWithoutTransitions(char version, std::int32_t utoff, const std::string& rule) {
    const auto bigEndian = [](std::string& out, std::uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            out.push_back(static_cast<char>((value >> shift) & 0xFF));
        }
    };
    std::string header = std::string("TZif") + version + std::string(15, '\0');
    for (const std::uint32_t count : {0u, 0u, 0u, 0u, 1u, 4u}) {
        bigEndian(header, count);  // no transitions, one type, 4 bytes of names
    }
    std::string block;
    bigEndian(block, static_cast<std::uint32_t>(utoff));
    block += std::string("\0\0EST\0", 6);
    // Version 1 has no 64-bit block and no footer: text after its block is
    // none of its data.
    const std::string data = version >= '2' ? header + block + header + block : header + block;
    return data + "\n" + rule + "\n";
}

TEST(ZoneOffset, AZoneWithoutTransitionsKeepsDaylightTimeByItsRule) {
    const std::string rule = "EST5EDT,M3.2.0,M11.1.0";
    const std::string v2 = zoneWithoutTransitions('2', -18000, rule);
    EXPECT_EQ(zone::offsetMinutes(v2, 1625097600), -240);  // July 2021
    EXPECT_EQ(zone::offsetMinutes(v2, 1609459200), -300);  // January 2021
    // Version 1 has no rule, whatever follows its data: its one type all year.
    const std::string v1 = zoneWithoutTransitions('\0', -18000, rule);
    EXPECT_EQ(zone::offsetMinutes(v1, 1625097600), -300);
}

TEST(ZoneOffset, TheProcessZoneIsLeftAlone) {
    const char* before = std::getenv("TZ");
    const std::string saved = before ? before : "<unset>";
    zone::namedZoneOffsetMinutes("Australia/Adelaide", 1372179561);
    const char* after = std::getenv("TZ");
    EXPECT_EQ(after ? std::string(after) : "<unset>", saved);
}

}  // namespace
}  // namespace tolvex::testing
