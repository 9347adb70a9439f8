#include "wmi/linux/OsFacts.h"

#include <utmpx.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "base/CivilDate.h"
#include "wmi/linux/SysText.h"

namespace tolvex::linuxprov {

namespace {

// One os-release value: double quotes allow the escapes \" \\ \$ \` ; single
// quotes take everything literally; outside quotes a backslash escapes the
// next character.
std::string unquote(std::string_view raw) {
    std::string out;
    char quote = 0;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (quote == '\'') {
            if (c == '\'') {
                quote = 0;
            } else {
                out.push_back(c);
            }
        } else if (c == '\\' && i + 1 < raw.size() &&
                   (quote == 0 || std::strchr("\"\\$`", raw[i + 1]))) {
            out.push_back(raw[++i]);
        } else if (quote == '"' && c == '"') {
            quote = 0;
        } else if (quote == 0 && (c == '"' || c == '\'')) {
            quote = c;
        } else if (quote == 0 && (c == ' ' || c == '\t' || c == '#')) {
            break;  // an unquoted blank ends the value; the rest is a comment
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace

OsRelease parseOsRelease(const std::string& content) {
    OsRelease out;
    for (const std::string_view rawLine : text::splitLines(content)) {
        const std::string line = text::trimmed(rawLine);
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string::npos || equals == 0) {
            continue;
        }
        const std::string key = text::trimmed(std::string_view(line).substr(0, equals));
        if (key.find_first_of(" \t") != std::string::npos) {
            continue;
        }
        out[key] = text::cleanText(unquote(std::string_view(line).substr(equals + 1)));
    }
    return out;
}

OsRelease readOsRelease(const FileTree& files) {
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        if (const auto content = files.read(path, 64 * 1024)) {
            return parseOsRelease(*content);
        }
    }
    return {};
}

std::optional<std::string> osValue(const OsRelease& release, const std::string& key) {
    const auto it = release.find(key);
    if (it == release.end() || text::trimmed(it->second).empty()) {
        return std::nullopt;
    }
    return text::trimmed(it->second);
}

std::optional<std::string> osCaption(const OsRelease& release) {
    if (auto pretty = osValue(release, "PRETTY_NAME")) {
        return pretty;
    }
    auto name = osValue(release, "NAME");
    const auto version = osValue(release, "VERSION");
    if (name && version) {
        return *name + " " + *version;
    }
    return name;
}

KernelBuild parseKernelVersion(const std::string& version) {
    KernelBuild out;
    std::vector<std::string> words;
    std::size_t pos = 0;
    while (pos < version.size()) {
        const auto first = version.find_first_not_of(" \t\n", pos);
        if (first == std::string::npos) {
            break;
        }
        const auto last = version.find_first_of(" \t\n", first);
        words.push_back(version.substr(first, last == std::string::npos ? last : last - first));
        pos = last == std::string::npos ? version.size() : last;
    }
    if (words.empty() || words[0].size() < 2 || words[0][0] != '#') {
        return out;
    }
    std::string digits;
    for (std::size_t i = 1;
         i < words[0].size() && std::isdigit(static_cast<unsigned char>(words[0][i])); ++i) {
        digits.push_back(words[0][i]);
    }
    if (!digits.empty()) {
        out.buildNumber = digits;
    }
    // The configuration words follow: upper-case letters, digits and
    // underscores (SMP, PREEMPT, PREEMPT_DYNAMIC, PREEMPT_RT).
    std::string type;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string& word = words[i];
        const bool configWord =
            word.size() >= 2 && std::isupper(static_cast<unsigned char>(word[0])) &&
            word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") == std::string::npos;
        if (!configWord) {
            break;
        }
        type += (type.empty() ? "" : " ") + word;
    }
    if (!type.empty()) {
        out.buildType = type;
    }
    return out;
}

std::optional<std::int64_t> bootTime(const FileTree& files) {
    const auto content = files.read("/proc/stat", 4u << 20);
    if (!content) {
        return std::nullopt;
    }
    for (const std::string_view line : text::splitLines(*content)) {
        if (line.substr(0, 6) == "btime ") {
            const auto seconds = text::parseUnsigned(line.substr(6));
            if (seconds && *seconds <= static_cast<std::uint64_t>(INT64_MAX / 2)) {
                return static_cast<std::int64_t>(*seconds);
            }
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<std::string> managementDateTime(std::int64_t epochSeconds, int utcOffsetMinutes) {
    // Years 1 to 9999 in the zone's own time, offsets of three digits.
    constexpr std::int64_t kYear1 = -62135596800LL;      // 0001-01-01 00:00:00
    constexpr std::int64_t kYear10000 = 253402300800LL;  // 10000-01-01 00:00:00
    if (utcOffsetMinutes < -999 || utcOffsetMinutes > 999 || epochSeconds < kYear1 - 999 * 60 ||
        epochSeconds >= kYear10000 + 999 * 60) {
        return std::nullopt;
    }
    const std::int64_t local = epochSeconds + static_cast<std::int64_t>(utcOffsetMinutes) * 60;
    if (local < kYear1 || local >= kYear10000) {
        return std::nullopt;
    }
    const std::int64_t days = (local >= 0 ? local : local - 86399) / 86400;
    const std::int64_t secondOfDay = local - days * 86400;
    const civil::Date date = civil::civilFromDays(days);

    const int offset = utcOffsetMinutes < 0 ? -utcOffsetMinutes : utcOffsetMinutes;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d%02d%02d%02d%02d%02d.000000%c%03d",
                  static_cast<int>(date.year), date.month, date.day,
                  static_cast<int>(secondOfDay / 3600), static_cast<int>(secondOfDay / 60 % 60),
                  static_cast<int>(secondOfDay % 60), utcOffsetMinutes < 0 ? '-' : '+', offset);
    return std::string(buffer);
}

std::optional<std::uint32_t> countUserSessions(const FileTree& files) {
    // The file is an array of the C library's utmpx records; a session is a
    // user-process record with a user name.
    for (const char* path : {"/run/utmp", "/var/run/utmp"}) {
        const auto content = files.read(path, 4u << 20);
        if (!content) {
            continue;
        }
        std::uint32_t sessions = 0;
        for (std::size_t at = 0; at + sizeof(utmpx) <= content->size(); at += sizeof(utmpx)) {
            utmpx record;
            std::memcpy(&record, content->data() + at, sizeof record);
            if (record.ut_type == USER_PROCESS && record.ut_user[0] != '\0') {
                ++sessions;
            }
        }
        return sessions;
    }
    return std::nullopt;
}

std::optional<std::string> bootDevice(const std::vector<MountEntry>& mounts) {
    const auto deviceAt =
        [&](const std::string& target) -> std::optional<std::optional<std::string>> {
        // The last mount at a point is the one in view.
        for (auto it = mounts.rbegin(); it != mounts.rend(); ++it) {
            if (it->target == target) {
                if (it->source.rfind("/dev/", 0) == 0) {
                    return std::optional<std::string>(it->source);
                }
                return std::optional<std::string>();
            }
        }
        return std::nullopt;
    };
    if (const auto boot = deviceAt("/boot")) {
        return *boot;
    }
    if (const auto root = deviceAt("/")) {
        return *root;
    }
    return std::nullopt;
}

}  // namespace tolvex::linuxprov
