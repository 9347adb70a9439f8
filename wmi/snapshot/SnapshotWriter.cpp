// The writing half of the snapshot format; Snapshot.cpp reads it back.
#include "wmi/snapshot/Snapshot.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "base/Utf8.h"

namespace tolvex::snapshot {

namespace {

// A JSON string literal of the text (valid UTF-8, control characters
// escaped).
std::string jsonString(std::string_view text) {
    // Most values are plain ASCII, which needs no repair; and the runs of
    // characters that need no escape are copied whole. (Byte by byte, the
    // strings of the nine classes had been a quarter of a cold query's
    // instructions.)
    std::string valid;
    if (std::any_of(text.begin(), text.end(),
                    [](char ch) { return static_cast<unsigned char>(ch) >= 0x80; })) {
        valid = utf8::repaired(text);
        text = valid;
    }
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('"');
    std::size_t plainFrom = 0;
    char buffer[8] = {};
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const char* escape = nullptr;
        switch (c) {
            case '"':
                escape = "\\\"";
                break;
            case '\\':
                escape = "\\\\";
                break;
            case '\n':
                escape = "\\n";
                break;
            case '\r':
                escape = "\\r";
                break;
            case '\t':
                escape = "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    escape = buffer;
                }
        }
        if (escape) {
            out.append(text.substr(plainFrom, i - plainFrom));
            out += escape;
            plainFrom = i + 1;
        }
    }
    out.append(text.substr(plainFrom));
    out.push_back('"');
    return out;
}

// The shortest text that reads back as the same double, marked as a real
// ("3.0", not "3") so that it is not read back as an integer.
std::string realText(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, result.ptr);
    if (text.find_first_of(".e") == std::string::npos) {
        text += ".0";
    }
    return text;
}

std::string jsonValue(const ManagementValue& value) {
    switch (value.kind()) {
        case ManagementValue::Kind::Null:
            return "null";
        case ManagementValue::Kind::Boolean:
            return value.asBoolean() ? "true" : "false";
        case ManagementValue::Kind::Text:
            return jsonString(value.asText());
        case ManagementValue::Kind::Integer:
            return std::to_string(value.asInteger());
        case ManagementValue::Kind::Real:
            // JSON has no form for infinities and NaN.
            return std::isfinite(value.asReal()) ? realText(value.asReal()) : "null";
    }
    return "null";
}

// {"reason": words, "source": ..., "remedy": ...}, without the parts the
// reason lacks.
std::string jsonReason(const NullReason& reason) {
    std::string out = "{\"reason\": " + jsonString(reasonWords(reason.kind));
    if (!reason.source.empty()) {
        out += ", \"source\": " + jsonString(reason.source);
    }
    if (!reason.remedy.empty()) {
        out += ", \"remedy\": " + jsonString(reason.remedy);
    }
    return out + "}";
}

std::string hostJson(const HostRecord& host) {
    std::string out = "{\"name\": " + (host.name ? jsonString(*host.name) : std::string("null"));
    if (!host.name) {
        out += ", \"error\": " + std::to_string(host.error);
    }
    out += ", \"addresses\": ";
    if (!host.addresses) {
        return out + "null}";
    }
    out += "[";
    for (std::size_t k = 0; k < host.addresses->size(); ++k) {
        out += (k ? ", " : "") + jsonString((*host.addresses)[k]);
    }
    return out + "]}";
}

std::string originJson(const Origin& origin) {
    return "{\"program\": " + jsonString(origin.program) +
           ", \"version\": " + jsonString(origin.version) +
           ", \"platform\": " + jsonString(origin.platform) +
           ", \"taken\": " + jsonString(origin.taken) + "}";
}

}  // namespace

std::string write(const std::vector<ClassAnswer>& answers, const HostRecord* host,
                  const Origin* origin) {
    std::string out = "{";
    for (std::size_t c = 0; c < answers.size(); ++c) {
        out += (c ? ",\n  " : "\n  ") + jsonString(answers[c].className) + ": [";
        const auto& instances = answers[c].instances;
        for (std::size_t k = 0; k < instances.size(); ++k) {
            out += std::string(k ? "," : "") +
                   "\n    {\"path\": " + jsonString(instances[k]->path()) + ", \"properties\": {";
            bool first = true;
            std::string reasons;
            for (const auto& name : instances[k]->propertyNames()) {
                out += std::string(first ? "" : ", ") + jsonString(name) + ": " +
                       jsonValue(instances[k]->property(name));
                first = false;
                if (const NullReason reason = instances[k]->nullReason(name); reason.given()) {
                    reasons += std::string(reasons.empty() ? "" : ", ") + jsonString(name) + ": " +
                               jsonReason(reason);
                }
            }
            out += "}, \"reasons\": {" + reasons + "}}";
        }
        out += instances.empty() ? "]" : "\n  ]";
    }
    bool first = answers.empty();
    if (host != nullptr) {
        out += (first ? "\n  " : ",\n  ") + jsonString(kHostKey) + ": " + hostJson(*host);
        first = false;
    }
    if (origin != nullptr) {
        out += (first ? "\n  " : ",\n  ") + jsonString(kOriginKey) + ": " + originJson(*origin);
        first = false;
    }
    return out + (first ? "}\n" : "\n}\n");
}
}  // namespace tolvex::snapshot
