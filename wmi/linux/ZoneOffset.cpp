#include "wmi/linux/ZoneOffset.h"

#include <cctype>
#include <vector>

#include "base/CivilDate.h"
#include "wmi/linux/SystemSource.h"

namespace tolvex::linuxprov::zone {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0);
}

// A reader over a POSIX TZ rule.
class RuleReader {
  public:
    explicit RuleReader(std::string_view text) : m_text(text) {}

    bool atEnd() const { return m_pos >= m_text.size(); }
    bool peek(char c) const { return !atEnd() && m_text[m_pos] == c; }
    bool take(char c) {
        if (peek(c)) {
            ++m_pos;
            return true;
        }
        return false;
    }

    // A zone abbreviation: three or more letters, or <...> quoted.
    bool name() {
        if (take('<')) {
            const auto close = m_text.find('>', m_pos);
            if (close == std::string_view::npos) {
                return false;
            }
            m_pos = close + 1;
            return true;
        }
        const std::size_t start = m_pos;
        while (!atEnd() && std::isalpha(static_cast<unsigned char>(m_text[m_pos]))) {
            ++m_pos;
        }
        return m_pos - start >= 3;
    }

    std::optional<int> number(int maxValue) {
        const std::size_t start = m_pos;
        int value = 0;
        while (!atEnd() && std::isdigit(static_cast<unsigned char>(m_text[m_pos]))) {
            value = value * 10 + (m_text[m_pos] - '0');
            if (value > maxValue) {
                return std::nullopt;
            }
            ++m_pos;
        }
        if (m_pos == start) {
            return std::nullopt;
        }
        return value;
    }

    // [+-]hh[:mm[:ss]] in seconds; hours up to 167 (a transition time may
    // lie days away from its date).
    std::optional<int> time() {
        int sign = 1;
        if (take('-')) {
            sign = -1;
        } else {
            take('+');
        }
        const auto hours = number(167);
        if (!hours) {
            return std::nullopt;
        }
        int seconds = *hours * 3600;
        if (take(':')) {
            const auto minutes = number(59);
            if (!minutes) {
                return std::nullopt;
            }
            seconds += *minutes * 60;
            if (take(':')) {
                const auto secs = number(59);
                if (!secs) {
                    return std::nullopt;
                }
                seconds += *secs;
            }
        }
        return sign * seconds;
    }

  private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

// One change of a rule: the day in a year and the local time of day.
struct Change {
    enum class Kind { Julian1, Julian0, MonthWeekDay } kind = Kind::MonthWeekDay;
    int day = 0;  // Jn: 1..365; n: 0..365; M: weekday 0..6
    int month = 0;
    int week = 0;
    int seconds = 7200;  // 02:00 unless given

    // Days since the epoch of the change's date in a year.
    std::int64_t dayIn(std::int64_t year) const {
        const std::int64_t jan1 = civil::daysFromCivil(year, 1, 1);
        switch (kind) {
            case Kind::Julian1:
                // 1..365, 29 February never counted.
                return jan1 + day - 1 + (civil::isLeapYear(year) && day >= 60 ? 1 : 0);
            case Kind::Julian0:
                return jan1 + day;
            case Kind::MonthWeekDay:
                break;
        }
        const std::int64_t first = civil::daysFromCivil(year, month, 1);
        const int firstWeekday = static_cast<int>(((first + 4) % 7 + 7) % 7);  // 0: Sunday
        int date = 1 + (day - firstWeekday + 7) % 7 + (week - 1) * 7;
        while (date > civil::daysInMonth(year, month)) {
            date -= 7;
        }
        return first + date - 1;
    }
};

std::optional<Change> readChange(RuleReader& in) {
    Change change;
    if (in.take('M')) {
        const auto month = in.number(12);
        if (!month || *month < 1 || !in.take('.')) {
            return std::nullopt;
        }
        const auto week = in.number(5);
        if (!week || *week < 1 || !in.take('.')) {
            return std::nullopt;
        }
        const auto weekday = in.number(6);
        if (!weekday) {
            return std::nullopt;
        }
        change.month = *month;
        change.week = *week;
        change.day = *weekday;
    } else if (in.take('J')) {
        const auto day = in.number(365);
        if (!day || *day < 1) {
            return std::nullopt;
        }
        change.kind = Change::Kind::Julian1;
        change.day = *day;
    } else {
        const auto day = in.number(365);
        if (!day) {
            return std::nullopt;
        }
        change.kind = Change::Kind::Julian0;
        change.day = *day;
    }
    if (in.take('/')) {
        const auto time = in.time();
        if (!time) {
            return std::nullopt;
        }
        change.seconds = *time;
    }
    return change;
}

std::uint64_t bigEndian(std::string_view data, std::size_t at, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        value = (value << 8) | static_cast<unsigned char>(data[at + i]);
    }
    return value;
}

}  // namespace

std::optional<int> ruleOffsetMinutes(std::string_view rule, std::int64_t epochSeconds) {
    // The calendar, weekdays included, repeats every 400 years: the moment's
    // counterpart in the cycle that begins at the epoch has the same answer,
    // and no moment, however far out, can overflow the sums below.
    constexpr std::int64_t kCycleSeconds = 146097 * kSecondsPerDay;
    epochSeconds %= kCycleSeconds;
    if (epochSeconds < 0) {
        epochSeconds += kCycleSeconds;
    }
    RuleReader in(rule);
    if (!in.name()) {
        return std::nullopt;
    }
    // POSIX offsets count west of UTC; ours east.
    const auto stdWest = in.time();
    if (!stdWest) {
        return std::nullopt;
    }
    const int stdOffset = -*stdWest;
    if (in.atEnd()) {
        return stdOffset / 60;
    }
    if (!in.name()) {
        return std::nullopt;
    }
    int dstOffset = stdOffset + 3600;
    if (!in.peek(',') && !in.atEnd()) {
        const auto dstWest = in.time();
        if (!dstWest) {
            return std::nullopt;
        }
        dstOffset = -*dstWest;
    }
    // Without rules, the United States' rules (as the C library assumes).
    Change start{Change::Kind::MonthWeekDay, 0, 3, 2, 7200};
    Change end{Change::Kind::MonthWeekDay, 0, 11, 1, 7200};
    if (in.take(',')) {
        const auto first = readChange(in);
        if (!first || !in.take(',')) {
            return std::nullopt;
        }
        const auto second = readChange(in);
        if (!second || !in.atEnd()) {
            return std::nullopt;
        }
        start = *first;
        end = *second;
    } else if (!in.atEnd()) {
        return std::nullopt;
    }
    const std::int64_t year =
        civil::civilFromDays(floorDiv(epochSeconds + stdOffset, kSecondsPerDay)).year;
    // The start is given in standard time, the end in daylight time.
    const std::int64_t startsAt = start.dayIn(year) * kSecondsPerDay + start.seconds - stdOffset;
    const std::int64_t endsAt = end.dayIn(year) * kSecondsPerDay + end.seconds - dstOffset;
    const bool daylight = startsAt < endsAt ? epochSeconds >= startsAt && epochSeconds < endsAt
                                            : !(epochSeconds >= endsAt && epochSeconds < startsAt);
    return (daylight ? dstOffset : stdOffset) / 60;
}

namespace {

constexpr std::size_t kHeader = 44;

// The counts of a TZif header, in the order the file gives them.
struct Counts {
    std::uint64_t isutcnt;
    std::uint64_t isstdcnt;
    std::uint64_t leapcnt;
    std::uint64_t timecnt;
    std::uint64_t typecnt;
    std::uint64_t charcnt;

    // The bytes of the data block that follows the header.
    std::uint64_t blockSize(std::uint64_t timeWidth) const {
        return timecnt * timeWidth + timecnt + typecnt * 6 + charcnt + leapcnt * (timeWidth + 4) +
               isstdcnt + isutcnt;
    }
};

std::optional<Counts> countsAt(std::string_view tzif, std::size_t at) {
    if (tzif.size() < at + kHeader || tzif.substr(at, 4) != "TZif") {
        return std::nullopt;
    }
    const auto count = [&](std::size_t i) { return bigEndian(tzif, at + 20 + 4 * i, 4); };
    return Counts{count(0), count(1), count(2), count(3), count(4), count(5)};
}

// The data block read: version 1's with 32-bit times, else the 64-bit one
// that follows it in later versions.
struct DataBlock {
    std::string_view tzif;
    Counts counts;
    std::size_t at;         // its first byte
    std::size_t timeWidth;  // 4 or 8

    std::int64_t transition(std::uint64_t i) const {
        const std::uint64_t raw = bigEndian(tzif, at + i * timeWidth, timeWidth);
        return timeWidth == 8 ? static_cast<std::int64_t>(raw)
                              : static_cast<std::int64_t>(static_cast<std::int32_t>(raw));
    }
    // The type in force after transition i.
    std::uint64_t typeAfter(std::uint64_t i) const {
        return static_cast<unsigned char>(tzif[at + counts.timecnt * timeWidth + i]);
    }
    std::optional<int> typeOffset(std::uint64_t type) const {
        if (type >= counts.typecnt) {
            return std::nullopt;
        }
        const std::size_t types = at + counts.timecnt * timeWidth + counts.timecnt;
        const auto utoff = static_cast<std::int32_t>(bigEndian(tzif, types + type * 6, 4));
        return utoff / 60;
    }
    // The POSIX rule of the footer, for moments after the last transition;
    // none in version 1 or when the footer is empty or missing.
    std::optional<std::string_view> footerRule() const {
        const std::size_t footer = at + counts.blockSize(timeWidth);
        if (timeWidth != 8 || footer >= tzif.size() || tzif[footer] != '\n') {
            return std::nullopt;
        }
        const auto close = tzif.find('\n', footer + 1);
        if (close == std::string_view::npos || close <= footer + 1) {
            return std::nullopt;
        }
        return tzif.substr(footer + 1, close - footer - 1);
    }
};

// The data block, when the file holds all of it and at least one type.
std::optional<DataBlock> dataBlock(std::string_view tzif) {
    const auto first = countsAt(tzif, 0);
    if (!first) {
        return std::nullopt;
    }
    DataBlock block{tzif, *first, kHeader, 4};
    if (tzif[4] >= '2') {
        const std::uint64_t skip = first->blockSize(4);
        if (skip > tzif.size()) {
            return std::nullopt;
        }
        const auto second = countsAt(tzif, kHeader + skip);
        if (!second) {
            return std::nullopt;
        }
        block = {tzif, *second, kHeader + skip + kHeader, 8};
    }
    if (block.counts.typecnt == 0 ||
        block.counts.blockSize(block.timeWidth) > tzif.size() - block.at) {
        return std::nullopt;
    }
    return block;
}

// The last transition at or before the moment, which is at or after the
// first.
std::uint64_t lastTransitionBy(const DataBlock& block, std::int64_t epochSeconds) {
    std::uint64_t low = 0;
    std::uint64_t high = block.counts.timecnt;
    while (high - low > 1) {
        const std::uint64_t mid = low + (high - low) / 2;
        if (block.transition(mid) <= epochSeconds) {
            low = mid;
        } else {
            high = mid;
        }
    }
    return low;
}

}  // namespace

std::optional<int> offsetMinutes(std::string_view tzif, std::int64_t epochSeconds) {
    const auto block = dataBlock(tzif);
    if (!block) {
        return std::nullopt;
    }
    const std::uint64_t timeCount = block->counts.timecnt;
    if (timeCount == 0 || epochSeconds < block->transition(0)) {
        // A zone without transitions may still change by its rule.
        if (const auto rule = timeCount == 0 ? block->footerRule() : std::nullopt) {
            return ruleOffsetMinutes(*rule, epochSeconds);
        }
        return block->typeOffset(0);
    }
    const std::uint64_t last = lastTransitionBy(*block, epochSeconds);
    if (last == timeCount - 1) {
        if (const auto rule = block->footerRule()) {
            if (const auto byRule = ruleOffsetMinutes(*rule, epochSeconds)) {
                return byRule;
            }
        }
    }
    return block->typeOffset(block->typeAfter(last));
}

std::optional<int> namedZoneOffsetMinutes(const std::string& name, std::int64_t epochSeconds,
                                          const std::string& databaseDir) {
    if (name.empty() || name.front() == '/' || name.find("..") != std::string::npos) {
        return std::nullopt;
    }
    const auto data = FileTree(databaseDir).read("/" + name, 1u << 20);
    if (!data) {
        return std::nullopt;
    }
    return offsetMinutes(*data, epochSeconds);
}

}  // namespace tolvex::linuxprov::zone
