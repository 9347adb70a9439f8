#pragma once

// Turns the VARIANT that the scripting interface returns for a property into
// a ManagementValue. A template over the VARIANT type, with no Windows header,
// so the same code is compiled for Windows and tested on Linux against
// VARIANTs built by hand.

#include <climits>
#include <cstdint>
#include <string>
#include <type_traits>

#include "wmi/Failure.h"
#include "wmi/ManagementValue.h"

namespace tolvex::winvariant {

// The variant type tags (the published VARENUM values).
inline constexpr std::uint16_t kVtEmpty = 0;
inline constexpr std::uint16_t kVtNull = 1;
inline constexpr std::uint16_t kVtI2 = 2;
inline constexpr std::uint16_t kVtI4 = 3;
inline constexpr std::uint16_t kVtR4 = 4;
inline constexpr std::uint16_t kVtR8 = 5;
inline constexpr std::uint16_t kVtBstr = 8;
inline constexpr std::uint16_t kVtDispatch = 9;
inline constexpr std::uint16_t kVtError = 10;
inline constexpr std::uint16_t kVtBool = 11;
inline constexpr std::uint16_t kVtI1 = 16;
inline constexpr std::uint16_t kVtUi1 = 17;
inline constexpr std::uint16_t kVtUi2 = 18;
inline constexpr std::uint16_t kVtUi4 = 19;
inline constexpr std::uint16_t kVtI8 = 20;
inline constexpr std::uint16_t kVtUi8 = 21;
inline constexpr std::uint16_t kVtInt = 22;
inline constexpr std::uint16_t kVtUint = 23;
inline constexpr std::uint16_t kVtArray = 0x2000;
inline constexpr std::uint16_t kVtByRef = 0x4000;

// UTF-8 from UTF-16 code units up to the first NUL. A lone surrogate becomes
// U+FFFD rather than bytes that are not UTF-8.
template <class Unit>
std::string utf16ToUtf8(const Unit* units) {
    static_assert(sizeof(Unit) == 2, "UTF-16 code units");
    std::string out;
    if (units == nullptr) {
        return out;
    }
    auto append = [&out](std::uint32_t cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    };
    for (const Unit* p = units; *p != 0; ++p) {
        const auto unit = static_cast<std::uint16_t>(*p);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            const auto next = static_cast<std::uint16_t>(p[1]);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                append(0x10000 + ((static_cast<std::uint32_t>(unit) - 0xD800) << 10) +
                       (next - 0xDC00));
                ++p;
                continue;
            }
            append(0xFFFD);
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            append(0xFFFD);
        } else {
            append(unit);
        }
    }
    return out;
}

inline Failure unshownType(std::uint16_t vt) {
    const char* what = (vt & kVtArray)     ? "an array"
                       : (vt & kVtByRef)   ? "a reference"
                       : vt == kVtDispatch ? "an embedded object"
                       : vt == kVtError    ? "an error code"
                                           : "of a type this program does not show";
    return Failure(std::string("Type mismatch: the value is ") + what + " (variant type " +
                   std::to_string(vt) + ").");
}

// By the variant's type: VT_NULL and VT_EMPTY are Null; 16- and 32-bit
// integers (the service delivers uint16 and uint32 as VT_I4) are integers;
// 64-bit integers stay text, as the service delivers them as VT_BSTR; texts
// (date-times included) arrive unchanged; VT_BOOL is a Boolean (any non-zero
// value is true). Other types fail with words.
template <class Variant>
ManagementValue toManagementValue(const Variant& v) {
    const auto vt = static_cast<std::uint16_t>(v.vt);
    switch (vt) {
        case kVtEmpty:
        case kVtNull:
            return ManagementValue::null();
        case kVtI1:
            return ManagementValue::integer(static_cast<std::int8_t>(v.cVal));
        case kVtUi1:
            return ManagementValue::integer(static_cast<std::uint8_t>(v.bVal));
        case kVtI2:
            return ManagementValue::integer(static_cast<std::int16_t>(v.iVal));
        case kVtUi2:
            return ManagementValue::integer(static_cast<std::uint16_t>(v.uiVal));
        case kVtI4:
            return ManagementValue::integer(static_cast<std::int32_t>(v.lVal));
        case kVtInt:
            return ManagementValue::integer(static_cast<std::int32_t>(v.intVal));
        case kVtUi4:
            return ManagementValue::integer(static_cast<std::uint32_t>(v.ulVal));
        case kVtUint:
            return ManagementValue::integer(static_cast<std::uint32_t>(v.uintVal));
        case kVtI8:
            return ManagementValue::text(std::to_string(static_cast<std::int64_t>(v.llVal)));
        case kVtUi8:
            return ManagementValue::text(std::to_string(static_cast<std::uint64_t>(v.ullVal)));
        case kVtR4:
            return ManagementValue::real(static_cast<double>(v.fltVal));
        case kVtR8:
            return ManagementValue::real(static_cast<double>(v.dblVal));
        case kVtBool:
            return ManagementValue::boolean(v.boolVal != 0);
        case kVtBstr:
            return ManagementValue::text(utf16ToUtf8(v.bstrVal));
        default:
            throw unshownType(vt);
    }
}

// The service delivers uint32 properties as VT_I4, so a value from 2^31 up
// (a video adapter's 2 GiB of memory, say) arrives negative. Read back as
// what the schema says it is: the unsigned number with the same 32 bits.
inline ManagementValue asUnsigned32(const ManagementValue& value) {
    if (value.kind() != ManagementValue::Kind::Integer) {
        return value;
    }
    const std::int64_t n = value.asInteger();
    if (n < 0 && n >= INT32_MIN) {
        return ManagementValue::integer(n + (std::int64_t{1} << 32));
    }
    return value;
}

}  // namespace tolvex::winvariant
