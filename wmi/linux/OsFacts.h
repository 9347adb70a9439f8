#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "wmi/linux/Mounts.h"
#include "wmi/linux/SystemSource.h"

// What the operating-system class knows about the running system, each
// fact read from its own file.
namespace tolvex::linuxprov {

// The variables of os-release (/etc/os-release, else /usr/lib/os-release),
// with their shell quoting and escapes undone.
using OsRelease = std::map<std::string, std::string>;
OsRelease readOsRelease(const FileTree& files);
OsRelease parseOsRelease(const std::string& content);
std::optional<std::string> osValue(const OsRelease& release, const std::string& key);
// PRETTY_NAME; else NAME followed by VERSION; else NAME alone.
std::optional<std::string> osCaption(const OsRelease& release);

// The kernel's build counter and configuration words from uname's version
// text: "#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1 (2024-02-01)" gives "1" and
// "SMP PREEMPT_DYNAMIC".
struct KernelBuild {
    std::optional<std::string> buildNumber;
    std::optional<std::string> buildType;
};
KernelBuild parseKernelVersion(const std::string& version);

// The boot time in seconds since the epoch ("btime" of /proc/stat).
std::optional<std::int64_t> bootTime(const FileTree& files);
// The management date-time form of a moment in a zone with the given offset:
// yyyymmddHHMMSS.ffffff+UUU, the offset in minutes with its sign. The form
// holds years 1 to 9999 of the zone's time and offsets of up to 999 minutes;
// a moment or offset outside that has no value (Null), like any value the
// form cannot express.
std::optional<std::string> managementDateTime(std::int64_t epochSeconds, int utcOffsetMinutes);

// The logged-in sessions: the user-process records of the utmp file
// (/run/utmp, else /var/run/utmp); no value when neither can be read.
std::optional<std::uint32_t> countUserSessions(const FileTree& files);

// The device holding /boot, or the root file system when /boot is no mount
// of its own; no value when that is not a device (an overlay, a network).
std::optional<std::string> bootDevice(const std::vector<MountEntry>& mounts);

}  // namespace tolvex::linuxprov
