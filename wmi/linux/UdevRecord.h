#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "wmi/linux/SystemSource.h"

// udev's database: one file per device under /run/udev/data, readable by
// every user, holding what udev's rules and helpers learned about the
// device as root. Block devices are named b<major>:<minor>; the DMI device
// +dmi:id. Each property is a line "E:<KEY>=<value>"; other lines (S: links,
// G: tags, I: times) are left alone here.
namespace tolvex::linuxprov::udev {

// The largest database file taken; a larger one is not udev's and is left
// unread (a real one holds a few kilobytes).
inline constexpr std::size_t kMaxDatabaseBytes = 1u << 20;

// The "E:" properties of a database file's text, by key. Only complete
// lines count (a last line cut off without its line break may hold a short
// value and is not taken); a line without '=' or with an empty key is none;
// a key given twice keeps its first value.
std::map<std::string, std::string> parseProperties(std::string_view databaseText);

// A database file read through the file tree; no value when it is
// missing, unreadable or larger than kMaxDatabaseBytes.
std::optional<std::string> readDatabase(const FileTree& files, std::string_view path);

// The path of a block device's database file from its "major:minor"
// (the content of /sys/class/block/<name>/dev, trimmed); no value when the
// text is no such pair.
std::optional<std::string> blockDatabasePath(std::string_view majorMinor);

}  // namespace tolvex::linuxprov::udev
