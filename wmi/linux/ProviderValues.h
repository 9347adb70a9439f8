#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "wmi/ManagementValue.h"

// Turning optional readings into property values: a reading that could not
// be made is Null, never a stand-in number or an empty text.
namespace tolvex::linuxprov::values {

template <typename T>
ManagementValue integerOrNull(const std::optional<T>& value) {
    return value ? ManagementValue::integer(static_cast<std::int64_t>(*value))
                 : ManagementValue::null();
}

inline ManagementValue textOrNull(const std::optional<std::string>& value) {
    return value && !value->empty() ? ManagementValue::text(*value) : ManagementValue::null();
}

// 64-bit counts travel as decimal text, as the service delivers them.
inline ManagementValue countOrNull(const std::optional<std::uint64_t>& value) {
    return value ? ManagementValue::text(std::to_string(*value)) : ManagementValue::null();
}

inline ManagementValue booleanOrNull(const std::optional<bool>& value) {
    return value ? ManagementValue::boolean(*value) : ManagementValue::null();
}

}  // namespace tolvex::linuxprov::values
