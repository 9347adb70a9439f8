#include "tests/support/InMemoryService.h"

namespace tolvex::testing {

namespace {

using Call = InMemoryService::Call;

class MemoryObject : public ManagementObject {
  public:
    MemoryObject(std::shared_ptr<InMemoryService> service, std::string className, int index,
                 std::string path, InMemoryService::Properties properties)
        : m_service(std::move(service)),
          m_index(index),
          m_object(std::move(className), std::move(path), std::move(properties)) {}

    std::string path() const override {
        m_service->check(Call::Path, m_object.className(), m_index, {});
        return m_object.path();
    }
    ManagementValue property(std::string_view name) const override {
        m_service->check(Call::Property, m_object.className(), m_index, name);
        return m_object.property(name);
    }
    std::vector<std::string> propertyNames() const override { return m_object.propertyNames(); }
    std::string rawPath() const { return m_object.path(); }

  private:
    std::shared_ptr<InMemoryService> m_service;
    int m_index;
    StaticObject m_object;
};

class MemorySet : public ManagementObjectSet {
  public:
    MemorySet(std::shared_ptr<InMemoryService> service, std::string className,
              std::vector<std::shared_ptr<const MemoryObject>> objects)
        : m_service(std::move(service)),
          m_className(std::move(className)),
          m_objects(std::move(objects)) {}

    std::int32_t count() const override {
        m_service->check(Call::Count, m_className, -1, {});
        return static_cast<std::int32_t>(m_objects.size());
    }

    std::unique_ptr<ObjectEnumerator> enumerate() const override {
        class Walk : public ObjectEnumerator {
          public:
            explicit Walk(const MemorySet& set) : m_set(set) {}
            ObjectPtr next() override {
                m_set.m_service->check(Call::Walk, m_set.m_className, static_cast<int>(m_next), {});
                return m_next < m_set.m_objects.size() ? m_set.m_objects[m_next++] : nullptr;
            }

          private:
            const MemorySet& m_set;
            std::size_t m_next = 0;
        };
        return std::make_unique<Walk>(*this);
    }

    ObjectPtr item(const std::string& path, int) const override {
        m_service->check(Call::Lookup, m_className, -1, {});
        for (const auto& object : m_objects) {
            if (!object->rawPath().empty() && object->rawPath() == path) {
                return object;
            }
        }
        throw Failure("Not found");
    }

  private:
    std::shared_ptr<InMemoryService> m_service;
    std::string m_className;
    std::vector<std::shared_ptr<const MemoryObject>> m_objects;
};

}  // namespace

InMemoryService& InMemoryService::addClass(const std::string& className) {
    for (auto& data : m_classes) {
        if (sameName(data.name, className)) {
            return *this;
        }
    }
    m_classes.push_back({className, {}});
    return *this;
}

InMemoryService& InMemoryService::add(const std::string& className, const std::string& path,
                                      Properties properties) {
    addClass(className);
    for (auto& data : m_classes) {
        if (sameName(data.name, className)) {
            data.instances.emplace_back(path, std::move(properties));
        }
    }
    return *this;
}

void InMemoryService::check(Call call, std::string_view className, int index,
                            std::string_view property) {
    ++m_calls;
    if (m_failAt > 0 && m_calls == m_failAt) {
        failedCalls.push_back({call, std::string(className), index, std::string(property)});
        if (onInjectedFailure) {
            onInjectedFailure();
        }
        throw Failure(m_failAtDescription);
    }
    for (const auto& injection : m_injections) {
        if (injection.call != call) {
            continue;
        }
        if (!injection.className.empty() && !sameName(injection.className, className)) {
            continue;
        }
        if (injection.index >= 0 && injection.index != index) {
            continue;
        }
        if (!injection.property.empty() && !sameName(injection.property, property)) {
            continue;
        }
        failedCalls.push_back({call, std::string(className), index, std::string(property)});
        if (onInjectedFailure) {
            onInjectedFailure();
        }
        throw Failure(injection.description);
    }
}

int InMemoryService::instanceCount(std::string_view className) const {
    for (const auto& data : m_classes) {
        if (sameName(data.name, className)) {
            return static_cast<int>(data.instances.size());
        }
    }
    return 0;
}

ObjectSetPtr InMemoryService::instancesOf(std::string_view className, int /*flags*/) {
    check(Call::Enumerate, className, -1, {});
    for (const auto& data : m_classes) {
        if (sameName(data.name, className)) {
            std::vector<std::shared_ptr<const MemoryObject>> objects;
            int index = 0;
            for (const auto& [path, properties] : data.instances) {
                objects.push_back(std::make_shared<MemoryObject>(shared_from_this(), data.name,
                                                                 index++, path, properties));
            }
            return std::make_shared<MemorySet>(shared_from_this(), data.name, std::move(objects));
        }
    }
    throw Failure("Invalid class");
}

}  // namespace tolvex::testing
