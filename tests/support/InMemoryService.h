#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "wmi/Management.h"
#include "wmi/StaticObject.h"

namespace tolvex::testing {

// A management service held in memory: classes, instances with object paths
// (the empty path included) and properties (Null included; a property left
// out is absent). Failures can be injected at each kind of call, or at the
// n-th call of any kind, each with its description.
class InMemoryService : public ManagementService,
                        public std::enable_shared_from_this<InMemoryService> {
  public:
    using Properties = std::vector<StaticObject::Property>;

    enum class Call { Enumerate, Count, Walk, Path, Property, Lookup };

    struct Injection {
        Call call;
        std::string className;  // empty: any class
        int index = -1;         // instance index (Walk/Path/Property); -1: any
        std::string property;   // Property only; empty: any
        std::string description = "Generic failure";
    };

    // Adds an instance of a class (creating the class) and returns *this.
    InMemoryService& add(const std::string& className, const std::string& path,
                         Properties properties);
    // Declares a class with no instances.
    InMemoryService& addClass(const std::string& className);

    void inject(Injection injection) { m_injections.push_back(std::move(injection)); }
    // Fails the n-th management call (counted from 1 over every kind).
    void failCallNumber(int n, std::string description = "Injected failure") {
        m_failAt = n;
        m_failAtDescription = std::move(description);
    }
    int callCount() const { return m_calls; }
    // Called whenever an injected failure is about to be thrown.
    std::function<void()> onInjectedFailure;
    // The calls that met an injected failure, in order.
    struct FailedCall {
        Call call;
        std::string className;
        int index;  // the instance (Walk: the position asked for); -1 for none
        std::string property;
    };
    std::vector<FailedCall> failedCalls;
    // The number of instances of a class (0 for a class it lacks).
    int instanceCount(std::string_view className) const;

    ObjectSetPtr instancesOf(std::string_view className, int flags) override;

    // Used by the objects and sets this service hands out.
    void check(Call call, std::string_view className, int index, std::string_view property);

  private:
    struct ClassData {
        std::string name;
        std::vector<std::pair<std::string, Properties>> instances;
    };
    std::vector<ClassData> m_classes;
    std::vector<Injection> m_injections;
    int m_calls = 0;
    int m_failAt = 0;
    std::string m_failAtDescription;
};

}  // namespace tolvex::testing
