#include "base/Utf8.h"

namespace tolvex::utf8 {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

}  // namespace

std::size_t sequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[at + k]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;   // the range of the second byte, which rules
    unsigned char high = 0xBF;  // out overlong forms, surrogates and > U+10FFFF
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() - at < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(k) < 0x80 || byte(k) > 0xBF) {
            return 0;
        }
    }
    return length;
}

bool isValid(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t length = sequenceLength(text, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string repaired(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = sequenceLength(text, i);
        if (length == 0) {
            out += kReplacement;
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

std::u16string toUtf16(std::string_view text) {
    // Decoded from the repaired text, where every sequence is well formed.
    const std::string valid = repaired(text);
    static constexpr char32_t kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    std::u16string out;
    out.reserve(valid.size());
    std::size_t i = 0;
    while (i < valid.size()) {
        const std::size_t length = sequenceLength(valid, i);
        char32_t code = static_cast<unsigned char>(valid[i++]) & kLeadBits[length];
        for (std::size_t k = 1; k < length; ++k) {
            code = (code << 6) | (static_cast<unsigned char>(valid[i++]) & 0x3Fu);
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
    }
    return out;
}

}  // namespace tolvex::utf8
