#include "wmi/linux/UdevRecord.h"

#include "wmi/linux/SysText.h"

namespace tolvex::linuxprov::udev {

std::map<std::string, std::string> parseProperties(std::string_view databaseText) {
    std::map<std::string, std::string> properties;
    const auto lastBreak = databaseText.rfind('\n');
    const std::string_view complete = lastBreak == std::string_view::npos
                                          ? std::string_view()
                                          : databaseText.substr(0, lastBreak + 1);
    for (const std::string_view line : text::splitLines(complete)) {
        if (line.substr(0, 2) != "E:") {
            continue;
        }
        const std::string_view property = line.substr(2);
        const auto equals = property.find('=');
        if (equals == std::string_view::npos || equals == 0) {
            continue;
        }
        properties.emplace(std::string(property.substr(0, equals)),
                           std::string(property.substr(equals + 1)));
    }
    return properties;
}

std::optional<std::string> readDatabase(const FileTree& files, std::string_view path) {
    auto content = files.read(path, kMaxDatabaseBytes + 1);
    if (!content || content->size() > kMaxDatabaseBytes) {
        return std::nullopt;
    }
    return content;
}

std::optional<std::string> blockDatabasePath(std::string_view majorMinor) {
    const std::string pair = text::trimmed(majorMinor);
    const auto colon = pair.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == pair.size() ||
        pair.find_first_not_of("0123456789:") != std::string::npos ||
        pair.find(':', colon + 1) != std::string::npos) {
        return std::nullopt;
    }
    return "/run/udev/data/b" + pair;
}

}  // namespace tolvex::linuxprov::udev
