#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// UTF-8 as every part of the program reads it: one rule for what is well
// formed (no overlong forms, no surrogates, nothing past U+10FFFF, no cut-off
// sequence), and each byte that starts no well-formed sequence replaced by
// U+FFFD, one replacement per byte.
namespace tolvex::utf8 {

// The length of the well-formed sequence that starts at text[at] (1 to 4),
// or 0 when the bytes there are not one. `at` must be inside the text.
std::size_t sequenceLength(std::string_view text, std::size_t at);

// Whether the whole text is well-formed UTF-8.
bool isValid(std::string_view text);

// The text as well-formed UTF-8: valid input unchanged, each stray byte U+FFFD.
std::string repaired(std::string_view text);

// The text in UTF-16 (as Windows takes it), each stray byte U+FFFD.
std::u16string toUtf16(std::string_view text);

}  // namespace tolvex::utf8
