#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The offset from UTC of a named time zone at a moment, read from the zone's
// TZif file (the system's time-zone database) without touching the process's
// own zone (no TZ variable, no tzset).
namespace tolvex::linuxprov::zone {

// The offset in minutes east of UTC that a TZif file (versions 1 to 4) gives
// for a moment (seconds since the epoch). Moments after the last transition
// follow the file's footer rule. No value when the data is not TZif or is cut
// short.
std::optional<int> offsetMinutes(std::string_view tzif, std::int64_t epochSeconds);

// The offset in minutes east of UTC that a POSIX TZ rule ("CET-1CEST,M3.5.0,
// M10.5.0/3", "<+0545>-5:45", "ACST-9:30ACDT,M10.1.0,M4.1.0/3") gives for a
// moment. No value when the rule cannot be read.
std::optional<int> ruleOffsetMinutes(std::string_view rule, std::int64_t epochSeconds);

// The offset of a zone named as in the database ("Europe/Berlin") at a
// moment, from the file under `databaseDir`. No value for a name that is not
// a plain relative path ("..", absolute) or a zone the database lacks.
std::optional<int> namedZoneOffsetMinutes(const std::string& name, std::int64_t epochSeconds,
                                          const std::string& databaseDir = "/usr/share/zoneinfo");

}  // namespace tolvex::linuxprov::zone
