#pragma once

// The forms tolvex-query prints the instances in.

#include <string>
#include <string_view>
#include <vector>

#include "net/HostAnswer.h"
#include "wmi/Management.h"
#include "wmi/snapshot/Snapshot.h"

namespace tolvex::query {

// The instances of one class, in the order the service gave them.
struct ClassAnswer {
    std::string className;
    std::vector<ObjectPtr> instances;
};

// A JSON string literal of the text (valid UTF-8, control characters
// escaped).
std::string jsonString(std::string_view text);

// The text with every control character shown as a visible escape, so that
// it stays on one line and cannot drive a terminal: line feed, carriage
// return and tab as \n, \r, \t; the other C0 controls, DEL and each byte
// that is not UTF-8 as \xHH; the C1 controls (U+0080 to U+009F) as \uHHHH.
// Everything else, backslashes included, is left as it is: the escapes are
// for people reading the text, the JSON form is the one for programs.
std::string visibleText(std::string_view text);

// Each instance's object path, then "  Name = value" lines, Null as "Null"
// followed by its reason where the service gives one ("Null (needs
// administrator rights: /sys/firmware/dmi/tables/DMI)"); a blank line after
// each instance. Paths, names, values and reasons are shown with
// visibleText, so each value is one line.
std::string formatText(const std::vector<ClassAnswer>& answers);

// One JSON object keyed by class name; each class a list of
// {"path": ..., "properties": {...}, "reasons": {...}} in the service's
// property order. Null is null, Booleans true/false, integers as integers,
// reals with a decimal point or an exponent and as many digits as read back
// the same (one that is not finite is null), texts as strings. "reasons"
// holds, for each Null property the service explains, {"reason": words,
// "source": ..., "remedy": ...} (source and remedy only where there are
// some). Given a host and an origin, it is a snapshot: they follow the
// classes as "tolvex:host" and "tolvex:origin".
std::string formatJson(const std::vector<ClassAnswer>& answers, const HostAnswer* host = nullptr,
                       const snapshot::Origin* origin = nullptr);

// The text exposition format of Prometheus, as the node exporter's textfile
// collector reads it: an info metric per class (value 1, its identifying
// texts as labels, a Null text as an empty label) and gauges in base units
// (a Null quantity leaves its sample out).
std::string formatPrometheus(const std::vector<ClassAnswer>& answers);

}  // namespace tolvex::query
