#include "wmi/Management.h"

#include <cstdio>
#include <utility>

#include "wmi/StaticObject.h"

namespace tolvex {

namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

class VectorEnumerator : public ObjectEnumerator {
  public:
    explicit VectorEnumerator(const std::vector<ObjectPtr>& objects) : m_objects(objects) {}
    ObjectPtr next() override { return m_next < m_objects.size() ? m_objects[m_next++] : nullptr; }

  private:
    const std::vector<ObjectPtr>& m_objects;
    std::size_t m_next = 0;
};

}  // namespace

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string debugText(const ManagementValue& value) {
    switch (value.kind()) {
        case ManagementValue::Kind::Null:
            return "Null";
        case ManagementValue::Kind::Integer:
            return std::to_string(value.asInteger());
        case ManagementValue::Kind::Real: {
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%.15g", value.asReal());
            return buffer;
        }
        case ManagementValue::Kind::Boolean:
            return value.asBoolean() ? "TRUE" : "FALSE";
        case ManagementValue::Kind::Text:
            return value.asText();
    }
    return {};
}

std::unique_ptr<ObjectEnumerator> VectorObjectSet::enumerate() const {
    return std::make_unique<VectorEnumerator>(m_objects);
}

ObjectPtr VectorObjectSet::item(const std::string& path, int /*flags*/) const {
    // An exact match wins; otherwise the service compares paths without
    // regard to case, as it does for class and property names.
    ObjectPtr caseless;
    for (const auto& object : m_objects) {
        const std::string candidate = object->path();
        if (candidate.empty()) {
            continue;
        }
        if (candidate == path) {
            return object;
        }
        if (!caseless && sameName(candidate, path)) {
            caseless = object;
        }
    }
    if (caseless) {
        return caseless;
    }
    throw Failure("Not found: no instance has the object path " + path);
}

ManagementValue StaticObject::property(std::string_view name) const {
    for (const auto& [key, value] : m_properties) {
        if (sameName(key, name)) {
            return value;
        }
    }
    throw missingProperty(m_className, name);
}

NullReason StaticObject::nullReason(std::string_view name) const {
    for (std::size_t k = 0; k < m_properties.size(); ++k) {
        if (sameName(m_properties[k].first, name)) {
            return m_properties[k].second.isNull() && k < m_reasons.size() ? m_reasons[k]
                                                                           : NullReason{};
        }
    }
    throw missingProperty(m_className, name);
}

std::vector<std::string> StaticObject::propertyNames() const {
    std::vector<std::string> names;
    names.reserve(m_properties.size());
    for (const auto& property : m_properties) {
        names.push_back(property.first);
    }
    return names;
}

namespace {

constexpr std::pair<NullReason::Kind, std::string_view> kReasonWords[] = {
    {NullReason::Kind::NeedsAdministrator, "needs administrator rights"},
    {NullReason::Kind::NotProvided, "not provided by this machine"},
    {NullReason::Kind::Unreadable, "unreadable"},
    {NullReason::Kind::NotOnPlatform, "no such thing on this platform"},
    {NullReason::Kind::ServiceGaveNoValue, "the management service gave no value"},
};

}  // namespace

std::string_view reasonWords(NullReason::Kind kind) {
    for (const auto& [known, words] : kReasonWords) {
        if (known == kind) {
            return words;
        }
    }
    return {};
}

std::optional<NullReason::Kind> reasonKind(std::string_view words) {
    for (const auto& [kind, known] : kReasonWords) {
        if (known == words) {
            return kind;
        }
    }
    return std::nullopt;
}

std::string reasonText(const NullReason& reason) {
    std::string text(reasonWords(reason.kind));
    if (!text.empty() && !reason.source.empty()) {
        text += ": " + reason.source;
    }
    return text;
}

Failure missingProperty(std::string_view className, std::string_view name) {
    return Failure("Not found: the class " + std::string(className) + " has no property named " +
                   std::string(name) + ".");
}

}  // namespace tolvex
