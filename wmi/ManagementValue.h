#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace tolvex {

// A property value as the management service returns it. Integers of up to 32
// bits arrive as integers; 64-bit counts and date-times arrive as text.
class ManagementValue {
  public:
    enum class Kind { Null, Integer, Real, Boolean, Text };

    ManagementValue() = default;  // Null
    static ManagementValue null() { return {}; }
    static ManagementValue integer(std::int64_t v) { return ManagementValue(Storage(v)); }
    static ManagementValue real(double v) { return ManagementValue(Storage(v)); }
    static ManagementValue boolean(bool v) { return ManagementValue(Storage(v)); }
    static ManagementValue text(std::string v) { return ManagementValue(Storage(std::move(v))); }

    Kind kind() const { return static_cast<Kind>(m_value.index()); }
    bool isNull() const { return kind() == Kind::Null; }

    std::int64_t asInteger() const { return std::get<std::int64_t>(m_value); }
    double asReal() const { return std::get<double>(m_value); }
    bool asBoolean() const { return std::get<bool>(m_value); }
    const std::string& asText() const { return std::get<std::string>(m_value); }

    bool operator==(const ManagementValue&) const = default;

  private:
    using Storage = std::variant<std::monostate, std::int64_t, double, bool, std::string>;
    explicit ManagementValue(Storage v) : m_value(std::move(v)) {}
    Storage m_value;
};

// A short, unlocalised rendering for diagnostics and the query tool: Null as
// "Null", Booleans as TRUE/FALSE, numbers in C notation.
std::string debugText(const ManagementValue& value);

}  // namespace tolvex
