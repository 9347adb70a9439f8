#include "wmi/ObjectPath.h"

namespace tolvex {

std::string ObjectPath::text() const {
    std::string out = "\\\\" + host + "\\" + nameSpace + ":" + className + "." + keyName + "=\"";
    for (const char c : keyValue) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    out += "\"";
    return out;
}

std::optional<ObjectPath> ObjectPath::parse(std::string_view text) {
    ObjectPath path;
    if (text.substr(0, 2) != "\\\\") {
        return std::nullopt;
    }
    text.remove_prefix(2);
    const auto hostEnd = text.find('\\');
    if (hostEnd == std::string_view::npos || hostEnd == 0) {
        return std::nullopt;
    }
    path.host = std::string(text.substr(0, hostEnd));
    text.remove_prefix(hostEnd + 1);
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0) {
        return std::nullopt;
    }
    path.nameSpace = std::string(text.substr(0, colon));
    text.remove_prefix(colon + 1);
    const auto dot = text.find('.');
    if (dot == std::string_view::npos || dot == 0) {
        return std::nullopt;
    }
    path.className = std::string(text.substr(0, dot));
    text.remove_prefix(dot + 1);
    const auto equals = text.find('=');
    if (equals == std::string_view::npos || equals == 0) {
        return std::nullopt;
    }
    path.keyName = std::string(text.substr(0, equals));
    text.remove_prefix(equals + 1);
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') {
        return std::nullopt;
    }
    text = text.substr(1, text.size() - 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\') {
            if (i + 1 >= text.size()) {
                return std::nullopt;
            }
            c = text[++i];
        } else if (c == '"') {
            return std::nullopt;  // an unescaped quote inside the value
        }
        path.keyValue.push_back(c);
    }
    return path;
}

}  // namespace tolvex
