#include "tools/QueryFormats.h"

#include <cstdio>

#include "base/Utf8.h"

namespace tolvex::query {

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

}  // namespace tolvex::query
