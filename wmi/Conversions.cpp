#include "wmi/Conversions.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "wmi/Failure.h"

namespace tolvex {

namespace {

// A decimal rounding of |value| to a number of decimals, halves away from
// zero. The value is first taken to 15 significant digits, the precision the
// conversions show, so that 1.005 rounds to 1.01 as a reader expects.
struct Rounded {
    bool negative = false;
    std::string integerDigits;   // no leading zeros; "0" for zero
    std::string fractionDigits;  // exactly `decimals` digits
};

Rounded roundDecimal(double value, int decimals) {
    Rounded r;
    r.negative = std::signbit(value);
    const double magnitude = std::fabs(value);
    if (magnitude == 0.0 || !std::isfinite(magnitude)) {
        r.integerDigits = "0";
        r.fractionDigits.assign(static_cast<std::size_t>(decimals), '0');
        r.negative = false;
        return r;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.14e", magnitude);
    // buffer: d.dddddddddddddde[+-]XX
    std::string digits;
    const char* p = buffer;
    for (; *p != 'e'; ++p) {
        if (*p != '.') {
            digits.push_back(*p);
        }
    }
    const int exponent = std::atoi(p + 1);
    // digits[i] has weight 10^(exponent - i). Keep digits down to 10^-decimals.
    const int keep = exponent + 1 + decimals;
    std::string kept;
    if (keep <= 0) {
        // Everything lies below the last kept decimal; only the first digit
        // can round the result up, and only when it stands right below it.
        kept = (keep == 0 && digits[0] >= '5') ? "1" : "0";
    } else {
        if (static_cast<std::size_t>(keep) >= digits.size()) {
            kept = digits + std::string(static_cast<std::size_t>(keep) - digits.size(), '0');
        } else {
            kept = digits.substr(0, static_cast<std::size_t>(keep));
            if (digits[static_cast<std::size_t>(keep)] >= '5') {
                int i = keep - 1;
                while (i >= 0 && kept[static_cast<std::size_t>(i)] == '9') {
                    kept[static_cast<std::size_t>(i)] = '0';
                    --i;
                }
                if (i < 0) {
                    kept.insert(kept.begin(), '1');
                } else {
                    ++kept[static_cast<std::size_t>(i)];
                }
            }
        }
    }
    // kept now spells round(|value| * 10^decimals) as an integer.
    if (kept.size() < static_cast<std::size_t>(decimals) + 1) {
        kept.insert(0, static_cast<std::size_t>(decimals) + 1 - kept.size(), '0');
    }
    r.integerDigits = kept.substr(0, kept.size() - static_cast<std::size_t>(decimals));
    r.fractionDigits = kept.substr(kept.size() - static_cast<std::size_t>(decimals));
    const auto firstNonZero = r.integerDigits.find_first_not_of('0');
    r.integerDigits =
        firstNonZero == std::string::npos ? "0" : r.integerDigits.substr(firstNonZero);
    if (r.integerDigits == "0" && r.fractionDigits.find_first_not_of('0') == std::string::npos) {
        r.negative = false;
    }
    return r;
}

std::string grouped(const std::string& digits, const std::string& separator) {
    std::string out;
    const std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) {
            out += separator;
        }
        out.push_back(digits[i]);
    }
    return out;
}

std::string_view trimmed(std::string_view text) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

std::string realText(double value, const NumberFormat& format) {
    if (!std::isfinite(value)) {
        throw Failure(kOverflow);
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    std::string out;
    for (const char* p = buffer; *p; ++p) {
        if (*p == '.') {
            out += format.decimalSeparator;
        } else if (*p == 'e') {
            out.push_back('E');
        } else {
            out.push_back(*p);
        }
    }
    return out;
}

std::string strictText(const ManagementValue& value, const NumberFormat& format) {
    switch (value.kind()) {
        case ManagementValue::Kind::Null:
            throw Failure(kInvalidUseOfNull);
        case ManagementValue::Kind::Integer:
            return std::to_string(value.asInteger());
        case ManagementValue::Kind::Real:
            return realText(value.asReal(), format);
        case ManagementValue::Kind::Boolean:
            return value.asBoolean() ? format.trueWord : format.falseWord;
        case ManagementValue::Kind::Text:
            return value.asText();
    }
    throw Failure(kTypeMismatch);
}

std::string suffixText(const ManagementValue& value, std::string_view suffix,
                       const NumberFormat& format) {
    if (value.isNull()) {
        return std::string(suffix);
    }
    return strictText(value, format) + std::string(suffix);
}

std::optional<double> numberValue(const ManagementValue& value) {
    switch (value.kind()) {
        case ManagementValue::Kind::Null:
            return std::nullopt;
        case ManagementValue::Kind::Integer:
            return static_cast<double>(value.asInteger());
        case ManagementValue::Kind::Real:
            return value.asReal();
        case ManagementValue::Kind::Text: {
            std::string_view text = trimmed(value.asText());
            if (!text.empty() && text.front() == '+') {
                text.remove_prefix(1);
            }
            double number = 0;
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(),
                                                      number, std::chars_format::general);
            if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
                !std::isfinite(number)) {
                throw Failure(kTypeMismatch);
            }
            return number;
        }
        case ManagementValue::Kind::Boolean:
            break;
    }
    throw Failure(kTypeMismatch);
}

std::optional<double> quotient(const ManagementValue& value, double divisor) {
    const auto number = numberValue(value);
    if (!number) {
        return std::nullopt;
    }
    return *number / divisor;
}

std::int16_t code16(const ManagementValue& value) {
    if (value.isNull()) {
        throw Failure(kInvalidUseOfNull);
    }
    double number = 0;
    if (value.kind() == ManagementValue::Kind::Integer) {
        const auto integer = value.asInteger();
        if (integer < -32768 || integer > 32767) {
            throw Failure(kOverflow);
        }
        return static_cast<std::int16_t>(integer);
    }
    number = *numberValue(value);
    // A fractional code rounds to the nearest integer, halves to even.
    number = std::nearbyint(number);
    if (!(number >= -32768.0 && number <= 32767.0)) {
        throw Failure(kOverflow);
    }
    return static_cast<std::int16_t>(number);
}

std::string formatMask(std::optional<double> value, std::string_view mask,
                       const NumberFormat& format) {
    if (!value) {
        return {};
    }
    if (!std::isfinite(*value)) {
        throw Failure(kOverflow);
    }
    if (mask == "###,###" || mask == "##,##") {
        const Rounded r = roundDecimal(*value, 0);
        if (r.integerDigits == "0") {
            return {};
        }
        return (r.negative ? "-" : "") + grouped(r.integerDigits, format.thousandsSeparator);
    }
    int decimals = 0;
    if (mask == "0.00") {
        decimals = 2;
    } else if (mask == "0.0") {
        decimals = 1;
    } else {
        throw std::invalid_argument("unknown number mask");
    }
    const Rounded r = roundDecimal(*value, decimals);
    return (r.negative ? "-" : "") + r.integerDigits + format.decimalSeparator + r.fractionDigits;
}

}  // namespace tolvex
