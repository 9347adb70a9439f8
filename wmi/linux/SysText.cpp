#include "wmi/linux/SysText.h"

#include <algorithm>
#include <cctype>

#include "base/Utf8.h"

namespace tolvex::linuxprov::text {

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

namespace {

bool isControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

}  // namespace

// In UTF-8 a byte below 0x80 is always a character of its own, so control
// characters are found and replaced byte by byte.
bool isCleanText(std::string_view text) {
    return utf8::isValid(text) &&
           std::none_of(text.begin(), text.end(), [](char c) { return isControl(c); });
}

std::string cleanText(std::string_view bytes) {
    std::string out = utf8::repaired(bytes);
    std::replace_if(out.begin(), out.end(), isControl, ' ');
    return out;
}

std::optional<std::uint64_t> parseUnsigned(std::string_view text) {
    const std::string digits = trimmed(text);
    if (digits.empty() || digits.size() > 20) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

std::optional<std::uint64_t> parseHex(std::string_view text) {
    std::string digits = trimmed(text);
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.erase(0, 2);
    }
    if (digits.empty() || digits.size() > 16) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        const int digit = std::isdigit(static_cast<unsigned char>(c))
                              ? c - '0'
                              : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        value = (value << 4) | static_cast<std::uint64_t>(digit);
    }
    return value;
}

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

ManagementValue textOrNull(const std::optional<std::string>& value) {
    if (!value) {
        return ManagementValue::null();
    }
    const std::string clean = trimmed(cleanText(*value));
    return clean.empty() ? ManagementValue::null() : ManagementValue::text(clean);
}

ManagementValue countOrNull(const std::optional<std::uint64_t>& value) {
    return value ? ManagementValue::text(std::to_string(*value)) : ManagementValue::null();
}

}  // namespace tolvex::linuxprov::text
