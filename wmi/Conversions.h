#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "wmi/ManagementValue.h"

namespace tolvex {

// The separators and Boolean words of the user's locale, read once at start.
struct NumberFormat {
    std::string decimalSeparator = ".";
    std::string thousandsSeparator = ",";
    std::string trueWord = "True";
    std::string falseWord = "False";

    // English notation: 1,234.5
    static NumberFormat point() { return {}; }
    // Continental notation: 1.234,5
    static NumberFormat comma() { return {",", ".", "True", "False"}; }
};

// Strict text: integers in decimal, reals with at most 15 significant digits,
// texts unchanged, Booleans as the locale's words. Null is a failure.
std::string strictText(const ManagementValue& value, const NumberFormat& format);

// The value as strict text followed by the suffix; Null gives the suffix alone.
std::string suffixText(const ManagementValue& value, std::string_view suffix,
                       const NumberFormat& format);

// The value as a number: integers and reals as they are, a text read as a
// decimal number. Null gives no number; a text that is not a number, or a
// Boolean, is a failure.
std::optional<double> numberValue(const ManagementValue& value);

// The value divided by a constant (floating-point division); Null stays Null.
std::optional<double> quotient(const ManagementValue& value, double divisor);

// A real number as text: at most 15 significant digits, no trailing zeros and
// no trailing decimal separator, with the locale's decimal separator.
std::string realText(double value, const NumberFormat& format);

// The value as a 16-bit code for the code tables. Null, a value outside
// -32768..32767 or one that is not a number is a failure.
std::int16_t code16(const ManagementValue& value);

// The number masks: "###,###" and "##,##" (whole number, grouped in threes,
// empty for a value that rounds to 0), "0.00" and "0.0" (at least one integer
// digit, fixed decimals, no grouping). Halves round away from zero. No number
// (Null) gives the empty text.
std::string formatMask(std::optional<double> value, std::string_view mask,
                       const NumberFormat& format);

}  // namespace tolvex
