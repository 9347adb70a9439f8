#pragma once

#include <string>
#include <utility>
#include <vector>

#include "wmi/Management.h"

namespace tolvex {

// An instance whose path and properties are known up front: the class's
// property names in order, each with its value (possibly Null) and, where
// the provider knows it, why a Null value is Null (`reasons` runs parallel
// to `properties`, or is empty).
class StaticObject : public ManagementObject {
  public:
    using Property = std::pair<std::string, ManagementValue>;

    StaticObject(std::string className, std::string path, std::vector<Property> properties,
                 std::vector<NullReason> reasons = {})
        : m_className(std::move(className)),
          m_path(std::move(path)),
          m_properties(std::move(properties)),
          m_reasons(std::move(reasons)) {}

    std::string path() const override { return m_path; }
    ManagementValue property(std::string_view name) const override;
    std::vector<std::string> propertyNames() const override;
    NullReason nullReason(std::string_view name) const override;

    const std::string& className() const { return m_className; }
    const std::vector<Property>& properties() const { return m_properties; }
    const std::vector<NullReason>& reasons() const { return m_reasons; }

  private:
    std::string m_className;
    std::string m_path;
    std::vector<Property> m_properties;
    std::vector<NullReason> m_reasons;
};

// The failure a read of a property the class lacks raises.
Failure missingProperty(std::string_view className, std::string_view name);

}  // namespace tolvex
