#include "tools/QueryFormats.h"
#include <algorithm>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "wmi/Utf8.h"

namespace tolvex::query {

namespace {

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

std::string hostJson(const HostAnswer& host) {
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

std::string originJson(const snapshot::Origin& origin) {
    return "{\"program\": " + jsonString(origin.program) +
           ", \"version\": " + jsonString(origin.version) +
           ", \"platform\": " + jsonString(origin.platform) +
           ", \"taken\": " + jsonString(origin.taken) + "}";
}

}  // namespace

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

std::string visibleText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const auto escape = [&](const char* form, unsigned value) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, form, value);
        out += buffer;
    };
    while (!text.empty()) {
        const auto lead = static_cast<unsigned char>(text.front());
        const std::size_t length = utf8::sequenceLength(text, 0);
        if (length == 0) {
            escape("\\x%02x", lead);
        } else if (lead == '\n') {
            out += "\\n";
        } else if (lead == '\r') {
            out += "\\r";
        } else if (lead == '\t') {
            out += "\\t";
        } else if (lead < 0x20 || lead == 0x7F) {
            escape("\\x%02x", lead);
        } else if (lead == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0) {
            // U+0080 to U+009F, the C1 controls (CSI among them).
            escape("\\u%04x", static_cast<unsigned char>(text[1]));
        } else {
            out.append(text.substr(0, length));
        }
        text.remove_prefix(length == 0 ? 1 : length);
    }
    return out;
}

std::string formatText(const std::vector<ClassAnswer>& answers) {
    std::string out;
    for (const auto& answer : answers) {
        for (const auto& object : answer.instances) {
            out += visibleText(object->path()) + "\n";
            for (const auto& name : object->propertyNames()) {
                out += "  " + visibleText(name) + " = " +
                       visibleText(debugText(object->property(name)));
                if (const NullReason reason = object->nullReason(name); reason.given()) {
                    out += " (" + visibleText(reasonText(reason)) + ")";
                }
                out += "\n";
            }
            out += "\n";
        }
    }
    return out;
}

std::string formatJson(const std::vector<ClassAnswer>& answers, const HostAnswer* host,
                       const snapshot::Origin* origin) {
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
        out += (first ? "\n  " : ",\n  ") + jsonString(snapshot::kHostKey) + ": " + hostJson(*host);
        first = false;
    }
    if (origin != nullptr) {
        out += (first ? "\n  " : ",\n  ") + jsonString(snapshot::kOriginKey) + ": " +
               originJson(*origin);
        first = false;
    }
    return out + (first ? "}\n" : "\n}\n");
}

}  // namespace tolvex::query
