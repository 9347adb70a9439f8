#pragma once

// The forms tolvex-query prints the instances in.

#include <string>
#include <string_view>
#include <vector>

#include "wmi/Management.h"

namespace tolvex::query {

// The instances of one class, in the order the service gave them.
struct ClassAnswer {
    std::string className;
    std::vector<ObjectPtr> instances;
};

// The text as valid UTF-8: each byte that does not begin or continue a
// well-formed sequence (stray continuation bytes, overlong forms, surrogates,
// values past U+10FFFF, cut-off sequences) becomes U+FFFD.
std::string validUtf8(std::string_view text);

// A JSON string literal of the text (valid UTF-8, control characters
// escaped).
std::string jsonString(std::string_view text);

// Each instance's object path, then "  Name = value" lines, Null as "Null";
// a blank line after each instance.
std::string formatText(const std::vector<ClassAnswer>& answers);

// One JSON object keyed by class name; each class a list of
// {"path": ..., "properties": {...}} in the service's property order. Null
// is null, Booleans true/false, numbers as numbers (a real that is not
// finite is null), texts as strings.
std::string formatJson(const std::vector<ClassAnswer>& answers);

// The text exposition format of Prometheus, as the node exporter's textfile
// collector reads it: an info metric per class (value 1, its identifying
// texts as labels, a Null text as an empty label) and gauges in base units
// (a Null quantity leaves its sample out).
std::string formatPrometheus(const std::vector<ClassAnswer>& answers);

}  // namespace tolvex::query
