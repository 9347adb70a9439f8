#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "wmi/Failure.h"
#include "wmi/ManagementValue.h"
#include "wmi/NullReason.h"

namespace tolvex {

// One instance of a management class. Every operation may fail by throwing
// Failure.
class ManagementObject {
  public:
    virtual ~ManagementObject() = default;
    // The full object path, e.g. \\HOST\root\cimv2:Win32_Processor.DeviceID="CPU0".
    virtual std::string path() const = 0;
    // A property by name, matched without regard to letter case. A name that
    // the class lacks is a failure.
    virtual ManagementValue property(std::string_view name) const = 0;
    // The names of the properties, in the class's order (for the query tool).
    virtual std::vector<std::string> propertyNames() const = 0;
    // Why a property is Null, where the service can say; no reason
    // (Kind::None) when it is not Null or the service does not know.
    virtual NullReason nullReason(std::string_view /*name*/) const { return {}; }
};
using ObjectPtr = std::shared_ptr<const ManagementObject>;

// Walks an object set once; next() returns nullptr at the end.
class ObjectEnumerator {
  public:
    virtual ~ObjectEnumerator() = default;
    virtual ObjectPtr next() = 0;
};

class ManagementObjectSet {
  public:
    virtual ~ManagementObjectSet() = default;
    virtual std::int32_t count() const = 0;
    // A walk in the service's order. The set stays usable after a walk.
    virtual std::unique_ptr<ObjectEnumerator> enumerate() const = 0;
    // The instance of this set with the given object path; a failure if none.
    virtual ObjectPtr item(const std::string& path, int flags) const = 0;
};
using ObjectSetPtr = std::shared_ptr<const ManagementObjectSet>;

class ManagementService {
  public:
    virtual ~ManagementService() = default;
    // All instances of a class. Flags 16: return immediately, not forward-only.
    virtual ObjectSetPtr instancesOf(std::string_view className, int flags) = 0;
};
using ServicePtr = std::shared_ptr<ManagementService>;

inline constexpr int kReturnImmediately = 16;

// This platform's management service for a moniker ("WinMgmts:"). Throws
// Failure when no service can be reached.
ServicePtr Connect(std::string_view moniker);

// A ready-made object set over a vector of objects, looked up by path. Used by
// providers that build their instances up front.
class VectorObjectSet : public ManagementObjectSet {
  public:
    explicit VectorObjectSet(std::vector<ObjectPtr> objects) : m_objects(std::move(objects)) {}
    std::int32_t count() const override { return static_cast<std::int32_t>(m_objects.size()); }
    std::unique_ptr<ObjectEnumerator> enumerate() const override;
    ObjectPtr item(const std::string& path, int flags) const override;
    const std::vector<ObjectPtr>& objects() const { return m_objects; }

  private:
    std::vector<ObjectPtr> m_objects;
};

// Case-insensitive ASCII comparison of names (class and property names).
bool sameName(std::string_view a, std::string_view b);

}  // namespace tolvex
