#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wmi/ManagementValue.h"

// Small text helpers for values read from /proc, /sys and configuration
// files: trimming, number parsing and making sure bytes become clean UTF-8.
namespace tolvex::linuxprov::text {

std::string trimmed(std::string_view text);

// The lines of a text, without their line breaks; a last line without a
// break counts too.
std::vector<std::string_view> splitLines(std::string_view text);

// Valid UTF-8 without control characters: what cleanText gives.
bool isCleanText(std::string_view text);

// The text as valid UTF-8: valid input is returned as is; each byte that does
// not form UTF-8 becomes the replacement character U+FFFD, and control
// characters become blanks, so a broken file never shows as garbage.
std::string cleanText(std::string_view bytes);

// A whole unsigned decimal number (leading and trailing blanks allowed).
std::optional<std::uint64_t> parseUnsigned(std::string_view text);
// A hexadecimal number with or without "0x" (blanks allowed around it).
std::optional<std::uint64_t> parseHex(std::string_view text);

// Upper-case ASCII letters.
std::string upper(std::string_view text);

// A property value: the cleaned, trimmed text, or Null when the text is
// missing or empty.
ManagementValue textOrNull(const std::optional<std::string>& value);
// A 64-bit count as the service delivers it: decimal text, or Null.
ManagementValue countOrNull(const std::optional<std::uint64_t>& value);

}  // namespace tolvex::linuxprov::text
