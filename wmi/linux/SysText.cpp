#include "wmi/linux/SysText.h"

#include <cctype>

namespace tolvex::linuxprov::text {

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

namespace {

// The length of the UTF-8 sequence starting at text[i], or 0 when the bytes
// there are not one (overlong forms and surrogates included).
std::size_t utf8Length(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (overlong || surrogate || code > 0x10FFFF) {
        return 0;
    }
    return length;
}

}  // namespace

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

bool isCleanText(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8Length(text, i);
        if (length == 0) {
            return false;
        }
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (length == 1 && (c < 0x20 || c == 0x7F)) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string cleanText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t length = utf8Length(bytes, i);
        if (length == 1) {
            const unsigned char c = static_cast<unsigned char>(bytes[i]);
            out.push_back(c < 0x20 || c == 0x7F ? ' ' : static_cast<char>(c));
            ++i;
        } else if (length > 1) {
            out.append(bytes.substr(i, length));
            i += length;
        } else {
            out.append("\xEF\xBF\xBD");  // U+FFFD for a byte that is not UTF-8
            ++i;
        }
    }
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
