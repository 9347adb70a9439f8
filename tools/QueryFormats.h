#pragma once

// The forms tolvex-query prints the instances in.

#include <string>
#include <string_view>
#include <vector>

#include "wmi/HostRecord.h"
#include "wmi/Management.h"
#include "wmi/snapshot/Snapshot.h"

namespace tolvex::query {

using snapshot::ClassAnswer;

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

// The JSON form: a snapshot (see snapshot::write), with the host and the
// origin where they are given.
inline std::string formatJson(const std::vector<ClassAnswer>& answers,
                              const HostRecord* host = nullptr,
                              const snapshot::Origin* origin = nullptr) {
    return snapshot::write(answers, host, origin);
}

// The text exposition format of Prometheus, as the node exporter's textfile
// collector reads it: an info metric per class (value 1, its identifying
// texts as labels, a Null text as an empty label) and gauges in base units
// (a Null quantity leaves its sample out).
std::string formatPrometheus(const std::vector<ClassAnswer>& answers);

}  // namespace tolvex::query
