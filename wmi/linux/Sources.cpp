#include "wmi/linux/Sources.h"

#include <cerrno>
#include <cstring>

#include "wmi/StaticObject.h"

namespace tolvex::linuxprov {

using Kind = NullReason::Kind;

NullReason Source::whyNull() const {
    return {failure == Kind::None ? Kind::NotProvided : failure, name, remedy};
}

Source fileSource(const FileTree& files, std::string_view path, std::string_view what,
                  std::string_view whenAbsent) {
    const std::string name(path);
    const auto error = files.outcome(path);
    if (!error) {
        // Never read: nothing came from it.
        return {Kind::NotProvided, name, std::string(whenAbsent)};
    }
    switch (*error) {
        case 0:
            return {Kind::None, name, {}};
        case EACCES:
        case EPERM:
            return {Kind::NeedsAdministrator, name,
                    "Run Tolvex as root to read " + std::string(what)};
        case ENOENT:
        case ENOTDIR:
        case ENODEV:
        case ENXIO:
            return {Kind::NotProvided, name, std::string(whenAbsent)};
        case ETIMEDOUT:
            return {Kind::Unreadable, name + " (timed out)", {}};
        case EISDIR:
            return {Kind::Unreadable, name + " (a folder in place of a file)", {}};
        default:
            return {Kind::Unreadable, name + " (" + std::strerror(*error) + ")", {}};
    }
}

Source damagedSource(std::string name) {
    return {Kind::Unreadable, std::move(name) + " (damaged)", {}};
}

Source timedOutSource(std::string name) {
    return {Kind::Unreadable, std::move(name) + " (timed out)", {}};
}

Source answeredSource(std::string name) {
    return {Kind::None, std::move(name), {}};
}

namespace {

int rank(Kind kind) {
    switch (kind) {
        case Kind::NeedsAdministrator:
            return 0;
        case Kind::Unreadable:
            return 1;
        case Kind::None:
        case Kind::NotProvided:
            return 2;
        default:
            return 3;
    }
}

}  // namespace

Source either(std::initializer_list<Source> sources) {
    const Source* best = nullptr;
    for (const Source& source : sources) {
        if (!best || rank(source.failure) < rank(best->failure)) {
            best = &source;
        }
    }
    return best ? *best : Source{};
}

ObjectPtr describedObject(std::string className, std::string path,
                          std::vector<Described> properties) {
    std::vector<StaticObject::Property> values;
    std::vector<NullReason> reasons;
    values.reserve(properties.size());
    reasons.reserve(properties.size());
    for (auto& property : properties) {
        reasons.push_back(property.value.isNull() ? property.from.whyNull() : NullReason{});
        values.emplace_back(std::move(property.name), std::move(property.value));
    }
    return std::make_shared<StaticObject>(std::move(className), std::move(path), std::move(values),
                                          std::move(reasons));
}

}  // namespace tolvex::linuxprov
