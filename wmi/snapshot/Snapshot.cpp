#include "wmi/snapshot/Snapshot.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <unordered_map>
#include <utility>

namespace tolvex::snapshot {

namespace {

// Objects keep their keys in the file's order: the order of the classes and
// of each instance's properties is the service's.
using Json = nlohmann::ordered_json;

[[noreturn]] void refuse(const std::string& where, const std::string& what) {
    throw SnapshotError(where.empty() ? what : where + ": " + what);
}

std::string typeName(const Json& value) {
    switch (value.type()) {
        case Json::value_t::null:
            return "null";
        case Json::value_t::object:
            return "an object";
        case Json::value_t::array:
            return "an array";
        case Json::value_t::string:
            return "a string";
        case Json::value_t::boolean:
            return "a Boolean";
        case Json::value_t::binary:
        case Json::value_t::discarded:
            break;
        default:
            return "a number";
    }
    return "a value of no JSON type";
}

const Json& expect(const Json& value, Json::value_t type, const std::string& where,
                   const char* wanted) {
    if (value.type() != type) {
        refuse(where, std::string("expected ") + wanted + ", found " + typeName(value));
    }
    return value;
}

// Letters, digits and underscores, not starting with a digit: what a class
// name can be.
bool isClassName(const std::string& name) {
    if (name.empty() || name.size() > 256 || (name[0] >= '0' && name[0] <= '9')) {
        return false;
    }
    for (const char c : name) {
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (!letter && !(c >= '0' && c <= '9') && c != '_') {
            return false;
        }
    }
    return true;
}

ManagementValue readValue(const Json& value, const std::string& where) {
    switch (value.type()) {
        case Json::value_t::null:
            return ManagementValue::null();
        case Json::value_t::boolean:
            return ManagementValue::boolean(value.get<bool>());
        case Json::value_t::string:
            return ManagementValue::text(value.get<std::string>());
        case Json::value_t::number_integer:
            return ManagementValue::integer(value.get<std::int64_t>());
        case Json::value_t::number_unsigned: {
            const auto number = value.get<std::uint64_t>();
            if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                refuse(where,
                       "a number past the service's 64-bit integers (larger values "
                       "are given as text)");
            }
            return ManagementValue::integer(static_cast<std::int64_t>(number));
        }
        case Json::value_t::number_float:
            return ManagementValue::real(value.get<double>());
        default:
            refuse(where,
                   "expected a value the service gives (null, a Boolean, a number or "
                   "a string), found " +
                       typeName(value));
    }
}

// Why Null values are Null, as the service that took the snapshot said:
// {"reasons": {"Property": {"reason": words, "source": ..., "remedy": ...}}}
// beside the properties; parallel to them, or empty when none is given. A
// reason is kept only for a property that is Null.
std::vector<NullReason> readReasons(const Json& item, const Json& properties,
                                    const std::string& where) {
    const auto reasons = item.find("reasons");
    if (reasons == item.end() || reasons->empty()) {
        return {};
    }
    expect(*reasons, Json::value_t::object, where + ".reasons", "an object");
    std::vector<NullReason> out(properties.size());
    std::unordered_map<std::string, std::size_t> index;
    for (const auto& property : properties.items()) {
        index.emplace(property.key(), index.size());
    }
    for (const auto& [name, given] : reasons->items()) {
        const std::string at = where + ".reasons." + name;
        const auto found = index.find(name);
        if (found == index.end()) {
            refuse(at, "a reason for a property the instance does not have");
        }
        const std::size_t k = found->second;
        expect(given, Json::value_t::object, at, "an object with \"reason\"");
        const auto words = given.find("reason");
        const auto kind = words != given.end() && words->is_string()
                              ? reasonKind(words->get<std::string>())
                              : std::nullopt;
        if (!kind) {
            refuse(at, "expected \"reason\" in the service's words");
        }
        out[k].kind = *kind;
        for (const auto& [key, into] :
             {std::pair<const char*, std::string*>{"source", &out[k].source},
              std::pair<const char*, std::string*>{"remedy", &out[k].remedy}}) {
            if (const auto text = given.find(key); text != given.end()) {
                *into = expect(*text, Json::value_t::string, at + "." + key, "a string")
                            .get<std::string>();
            }
        }
        // A value and a reason for its absence cannot both hold: the value
        // stands, the reason (of a hand-edited file) is dropped.
        if (!properties.at(name).is_null()) {
            out[k] = NullReason{};
        }
    }
    return out;
}

std::shared_ptr<const StaticObject> readInstance(const std::string& className, const Json& item,
                                                 const std::string& where) {
    expect(item, Json::value_t::object, where, "an object with \"path\" and \"properties\"");
    const auto path = item.find("path");
    const auto properties = item.find("properties");
    if (path == item.end() || properties == item.end()) {
        refuse(where, "an instance needs \"path\" and \"properties\"");
    }
    expect(*path, Json::value_t::string, where + ".path", "a string");
    expect(*properties, Json::value_t::object, where + ".properties", "an object");
    if (properties->size() > kMaxProperties) {
        refuse(where, "more than " + std::to_string(kMaxProperties) + " properties");
    }
    std::vector<StaticObject::Property> values;
    values.reserve(properties->size());
    for (const auto& [name, value] : properties->items()) {
        values.emplace_back(name, readValue(value, where + ".properties." + name));
    }
    return std::make_shared<StaticObject>(className, path->get<std::string>(), std::move(values),
                                          readReasons(item, *properties, where));
}

HostRecord readHost(const Json& host) {
    const std::string where = kHostKey;
    expect(host, Json::value_t::object, where, "an object");
    HostRecord answer;
    if (const auto name = host.find("name"); name != host.end() && !name->is_null()) {
        answer.name = expect(*name, Json::value_t::string, where + ".name", "a string or null")
                          .get<std::string>();
    }
    if (const auto error = host.find("error"); error != host.end()) {
        if (!error->is_number_integer() || *error < std::numeric_limits<int>::min() ||
            *error > std::numeric_limits<int>::max()) {
            refuse(where + ".error", "expected an error number");
        }
        answer.error = error->get<int>();
    }
    if (const auto list = host.find("addresses"); list != host.end() && !list->is_null()) {
        expect(*list, Json::value_t::array, where + ".addresses", "a list or null");
        if (list->size() > kMaxInstances) {
            refuse(where + ".addresses",
                   "more than " + std::to_string(kMaxInstances) + " addresses");
        }
        answer.addresses.emplace();
        for (const auto& address : *list) {
            if (!address.is_string() || !parseDottedAddress(address.get<std::string>())) {
                refuse(where + ".addresses",
                       "expected dotted IPv4 addresses such as "
                       "\"192.0.2.7\", found " +
                           (address.is_string() ? "\"" + address.get<std::string>() + "\""
                                                : typeName(address)));
            }
            answer.addresses->push_back(address.get<std::string>());
        }
    }
    return answer;
}

Origin readOrigin(const Json& origin) {
    const std::string where = kOriginKey;
    expect(origin, Json::value_t::object, where, "an object");
    Origin out;
    const auto field = [&](const char* key, std::string& into) {
        if (const auto value = origin.find(key); value != origin.end()) {
            into = expect(*value, Json::value_t::string, where + "." + key, "a string")
                       .get<std::string>();
        }
    };
    field("program", out.program);
    field("version", out.version);
    field("platform", out.platform);
    field("taken", out.taken);
    return out;
}

// The answer inside an Ansible per-host result of the tolvex_facts module.
const Json& unwrapAnsible(const Json& root) {
    // A task that failed leaves its message (and often no "failed" key: the
    // tree output writes the module's own result).
    const bool ansibleResult = root.contains("changed") || root.contains("failed") ||
                               root.contains("msg") || root.contains("ansible_facts");
    if (!ansibleResult) {
        return root;
    }
    if (const auto facts = root.find("ansible_facts");
        (facts == root.end() || !facts->is_object() || !facts->contains("tolvex")) &&
        root.contains("msg")) {
        const auto message = root.find("msg");
        refuse("", "the Ansible task failed on this host" +
                       (message->is_string() ? ": " + message->get<std::string>() : std::string()));
    }
    if (const auto failed = root.find("failed"); failed != root.end() && *failed == true) {
        const auto message = root.find("msg");
        refuse("", "the Ansible task failed on this host" +
                       (message != root.end() && message->is_string()
                            ? ": " + message->get<std::string>()
                            : std::string()));
    }
    const auto facts = root.find("ansible_facts");
    if (facts == root.end() || !facts->is_object() || facts->find("tolvex") == facts->end()) {
        refuse("",
               "an Ansible result without the tolvex facts (gathered by the tolvex_facts "
               "module)");
    }
    return expect(facts->at("tolvex"), Json::value_t::object, "ansible_facts.tolvex", "an object");
}

std::string withoutLibraryPrefix(std::string message) {
    // "[json.exception.parse_error.101] parse error at line 1, ..."
    if (!message.empty() && message[0] == '[') {
        if (const auto end = message.find("] "); end != std::string::npos) {
            message.erase(0, end + 2);
        }
    }
    return message;
}

class SnapshotService : public ManagementService {
  public:
    explicit SnapshotService(std::shared_ptr<const Snapshot> snapshot)
        : m_snapshot(std::move(snapshot)) {}

    ObjectSetPtr instancesOf(std::string_view className, int /*flags*/) override {
        for (const auto& known : m_snapshot->classes) {
            if (sameName(known.name, className)) {
                return std::make_shared<VectorObjectSet>(
                    std::vector<ObjectPtr>(known.instances.begin(), known.instances.end()));
            }
        }
        throw Failure("Invalid class: the snapshot holds no class named " + std::string(className) +
                      ".");
    }

  private:
    std::shared_ptr<const Snapshot> m_snapshot;
};

}  // namespace

Snapshot parse(std::string_view bytes) {
    if (bytes.size() > kMaxFileBytes) {
        refuse("", "larger than " + std::to_string(kMaxFileBytes >> 20) + " MB");
    }
    Json document;
    try {
        // Deep nesting is refused as it is met, before it is built.
        document =
            Json::parse(bytes.begin(), bytes.end(), [](int depth, Json::parse_event_t, Json&) {
                if (depth > kMaxDepth) {
                    throw SnapshotError("nested deeper than " + std::to_string(kMaxDepth) +
                                        " levels");
                }
                return true;
            });
    } catch (const Json::exception& error) {
        refuse("", "not JSON (" + withoutLibraryPrefix(error.what()) + ")");
    }
    expect(document, Json::value_t::object, "", "a JSON object keyed by class name");
    const Json& answer = unwrapAnsible(document);

    Snapshot snapshot;
    for (const auto& [key, value] : answer.items()) {
        if (key == kHostKey) {
            snapshot.host = readHost(value);
            continue;
        }
        if (key == kOriginKey) {
            snapshot.origin = readOrigin(value);
            continue;
        }
        if (key.find(':') != std::string::npos) {
            continue;  // kept for later versions' additions
        }
        if (!isClassName(key)) {
            refuse("", "\"" + key + "\" is not a class name");
        }
        for (const auto& known : snapshot.classes) {
            if (sameName(known.name, key)) {
                refuse(key, "the class is given twice");
            }
        }
        if (snapshot.classes.size() == kMaxClasses) {
            refuse("", "more than " + std::to_string(kMaxClasses) + " classes");
        }
        expect(value, Json::value_t::array, key, "a list of instances");
        if (value.size() > kMaxInstances) {
            refuse(key, std::to_string(value.size()) + " instances, more than the " +
                            std::to_string(kMaxInstances) + " a snapshot may hold");
        }
        Class read{key, {}};
        read.instances.reserve(value.size());
        for (std::size_t k = 0; k < value.size(); ++k) {
            read.instances.push_back(
                readInstance(key, value[k], key + "[" + std::to_string(k) + "]"));
        }
        snapshot.classes.push_back(std::move(read));
    }
    if (snapshot.classes.empty()) {
        refuse("", "no class in it (not an answer of tolvex-query --format json)");
    }
    return snapshot;
}

Snapshot readFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        throw SnapshotError(path + ": " + std::strerror(errno), true);
    }
    std::string bytes;
    char buffer[65536];
    std::size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.append(buffer, read);
        if (bytes.size() > kMaxFileBytes) {
            break;
        }
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        throw SnapshotError(path + ": cannot be read", true);
    }
    try {
        return parse(bytes);
    } catch (const SnapshotError& error) {
        throw SnapshotError(path + ": not a usable snapshot: " + error.what());
    }
}

ServicePtr makeService(std::shared_ptr<const Snapshot> snapshot) {
    return std::make_shared<SnapshotService>(std::move(snapshot));
}

HostRecord hostOf(const Snapshot& snapshot) {
    if (snapshot.host) {
        return *snapshot.host;
    }
    HostRecord answer;
    answer.name = hostNameOf(snapshot);
    answer.addresses.emplace();
    return answer;
}

std::string hostNameOf(const Snapshot& snapshot) {
    if (snapshot.host && snapshot.host->name) {
        return *snapshot.host->name;
    }
    for (const auto& known : snapshot.classes) {
        if (sameName(known.name, "Win32_OperatingSystem") && !known.instances.empty()) {
            for (const auto& [name, value] : known.instances.front()->properties()) {
                if (sameName(name, "CSName") && value.kind() == ManagementValue::Kind::Text) {
                    return value.asText();
                }
            }
        }
    }
    return {};
}

}  // namespace tolvex::snapshot
