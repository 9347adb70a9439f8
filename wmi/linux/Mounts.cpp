#include "wmi/linux/Mounts.h"

#include <charconv>
#include <string_view>

#include "wmi/linux/SysText.h"

// The kernel's two mount tables, read here rather than through libmount:
// loading libmount (with libselinux and libpcre2) cost a cold tolvex-query
// more than parsing the table does. The forms are the kernel's
// (Documentation/filesystems/proc.rst): /proc/self/mountinfo
//
//   36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw,errors=continue
//
// and /proc/mounts, whose lines read "source target type options freq pass".
// Fields are separated by blanks; a blank, tab, newline or backslash inside
// a field is written as a backslash and three octal digits.
namespace tolvex::linuxprov {

namespace {

// The fields of a line, separated by spaces or tabs.
std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t pos = 0;
    while (pos < line.size()) {
        const std::size_t start = line.find_first_not_of(" \t", pos);
        if (start == std::string_view::npos) {
            break;
        }
        std::size_t end = line.find_first_of(" \t", start);
        if (end == std::string_view::npos) {
            end = line.size();
        }
        out.push_back(line.substr(start, end - start));
        pos = end;
    }
    return out;
}

bool isOctal(char c) {
    return c >= '0' && c <= '7';
}

// A field with its octal escapes undone ("\040" is a blank); a backslash not
// followed by three octal digits stands for itself.
std::string unescaped(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) &&
            isOctal(field[i + 2]) && isOctal(field[i + 3])) {
            const int value =
                ((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0');
            out.push_back(static_cast<char>(value & 0xFF));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    return text::cleanText(out);
}

template <class Number>
bool parseNumber(std::string_view digits, Number& out) {
    if (digits.empty()) {
        return false;
    }
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), out);
    return error == std::errc() && end == digits.data() + digits.size();
}

// Removes the first option of that name from a comma-separated list;
// whether there was one.
bool removeOption(std::vector<std::string_view>& options, std::string_view name) {
    for (auto it = options.begin(); it != options.end(); ++it) {
        if (*it == name) {
            options.erase(it);
            return true;
        }
    }
    return false;
}

// A mount's options and its file system's in one list, led by the one
// "rw" or "ro" that holds for the mount: read-only when either says so.
std::string mergedOptions(std::string_view mount, std::string_view fileSystem) {
    if (mount == fileSystem) {
        return std::string(mount);
    }
    std::vector<std::string_view> options;
    for (const std::string_view list : {mount, fileSystem}) {
        std::size_t start = 0;
        while (start <= list.size()) {
            const std::size_t comma = std::min(list.find(',', start), list.size());
            if (comma > start) {
                options.push_back(list.substr(start, comma - start));
            }
            start = comma + 1;
        }
    }
    int rw = 0;
    rw += removeOption(options, "rw") ? 1 : 0;
    rw += removeOption(options, "rw") ? 1 : 0;
    int ro = 0;
    if (rw != 2) {
        ro += removeOption(options, "ro") ? 1 : 0;
        if (ro + rw < 2) {
            ro += removeOption(options, "ro") ? 1 : 0;
        }
    }
    std::string out = ro ? "ro" : "rw";
    for (const auto option : options) {
        out += ',';
        out += option;
    }
    return out;
}

// "36 35 98:0 root target options [optional fields] - type source super-options"
std::optional<MountEntry> mountInfoLine(std::string_view line) {
    const auto parts = fields(line);
    if (parts.size() < 10) {
        return std::nullopt;
    }
    int id = 0;
    int parent = 0;
    const std::string_view device = parts[2];
    const std::size_t colon = device.find(':');
    unsigned major = 0;
    unsigned minor = 0;
    if (!parseNumber(parts[0], id) || !parseNumber(parts[1], parent) ||
        colon == std::string_view::npos || !parseNumber(device.substr(0, colon), major) ||
        !parseNumber(device.substr(colon + 1), minor)) {
        return std::nullopt;
    }
    std::size_t separator = 6;
    while (separator < parts.size() && parts[separator] != "-") {
        ++separator;
    }
    if (separator + 3 >= parts.size()) {
        return std::nullopt;  // no type, source or file-system options
    }
    MountEntry entry;
    entry.root = unescaped(parts[3]);
    entry.target = unescaped(parts[4]);
    entry.fsType = unescaped(parts[separator + 1]);
    entry.source = unescaped(parts[separator + 2]);
    entry.options = text::cleanText(mergedOptions(parts[5], parts[separator + 3]));
    if (id > 0) {
        entry.major = major;
        entry.minor = minor;
        entry.hasDeviceNumber = true;
    }
    return entry;
}

// "source target type [options [freq [pass]]]"
std::optional<MountEntry> mountsLine(std::string_view line) {
    const auto parts = fields(line);
    if (parts.size() < 3) {
        return std::nullopt;
    }
    MountEntry entry;
    entry.source = unescaped(parts[0]);
    entry.target = unescaped(parts[1]);
    entry.fsType = unescaped(parts[2]);
    entry.root = "/";
    if (parts.size() > 3) {
        entry.options = unescaped(parts[3]);
    }
    return entry;
}

std::vector<MountEntry> parseTable(std::string_view table, bool mountInfo) {
    std::vector<MountEntry> out;
    std::size_t start = 0;
    while (start < table.size()) {
        const std::size_t end = std::min(table.find('\n', start), table.size());
        std::string_view line = table.substr(start, end - start);
        start = end + 1;
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos || line[first] == '#') {
            continue;
        }
        // A malformed line is skipped; the rest of the table is still read.
        auto entry = mountInfo ? mountInfoLine(line) : mountsLine(line);
        if (entry && !entry->target.empty()) {
            if (entry->root.empty()) {
                entry->root = "/";
            }
            out.push_back(std::move(*entry));
        }
    }
    return out;
}

}  // namespace

std::vector<MountEntry> readMountTable(const FileTree& files) {
    if (const auto table = files.read("/proc/self/mountinfo")) {
        return parseTable(*table, true);
    }
    if (const auto table = files.read("/proc/mounts")) {
        return parseTable(*table, false);
    }
    return {};
}

}  // namespace tolvex::linuxprov
