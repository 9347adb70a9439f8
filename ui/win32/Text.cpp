#include "ui/win32/Text.h"

#include <windows.h>

namespace tolvex::ui::win32 {

namespace {

constexpr wchar_t kReplacement = 0xFFFD;

// The length of the UTF-8 sequence that starts at `text[i]`, or 0 when the
// bytes there are not a well-formed sequence (overlong forms, surrogates and
// values above U+10FFFF included).
std::size_t sequenceLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    if (byte(i + 1) < low || byte(i + 1) > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::wstring wide(std::string_view utf8) {
    // Each well-formed run goes through the system's converter; each byte
    // that starts no well-formed sequence becomes one replacement character,
    // the same on every Windows version and under Wine.
    std::wstring result;
    result.reserve(utf8.size());
    std::size_t runStart = 0;
    const auto flush = [&](std::size_t end) {
        if (end <= runStart) {
            return;
        }
        const char* data = utf8.data() + runStart;
        const int bytes = static_cast<int>(end - runStart);
        const int needed = MultiByteToWideChar(CP_UTF8, 0, data, bytes, nullptr, 0);
        if (needed > 0) {
            const std::size_t at = result.size();
            result.resize(at + static_cast<std::size_t>(needed));
            MultiByteToWideChar(CP_UTF8, 0, data, bytes, result.data() + at, needed);
        }
    };
    std::size_t i = 0;
    while (i < utf8.size()) {
        const std::size_t length = sequenceLength(utf8, i);
        if (length == 0) {
            flush(i);
            result.push_back(kReplacement);
            ++i;
            runStart = i;
        } else {
            i += length;
        }
    }
    flush(utf8.size());
    return result;
}

std::string narrow(std::wstring_view utf16) {
    if (utf16.empty()) {
        return {};
    }
    const int chars = static_cast<int>(utf16.size());
    const int needed =
        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), chars, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) {
        return {};
    }
    std::string result(static_cast<std::size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), chars, result.data(), needed, nullptr, nullptr);
    return result;
}

}  // namespace tolvex::ui::win32
