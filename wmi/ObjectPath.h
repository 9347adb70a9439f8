#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tolvex {

// An object path of the service's form:
//   \\HOST\root\cimv2:Win32_Processor.DeviceID="CPU0"
// Quotes and backslashes inside the key value are escaped with a backslash.
struct ObjectPath {
    std::string host;
    std::string nameSpace = "root\\cimv2";
    std::string className;
    std::string keyName;
    std::string keyValue;

    std::string text() const;
    // Parses a path of that form; no value when it is not one.
    static std::optional<ObjectPath> parse(std::string_view text);
};

}  // namespace tolvex
