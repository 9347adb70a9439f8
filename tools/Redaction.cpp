#include "tools/Redaction.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

#include "wmi/StaticObject.h"

namespace tolvex::query {

namespace {

enum class Kind { Serial, Mac, Uuid, Host, Address, Volume };

// Shorter values are replaced only where they are a whole value: inside
// other texts they would match by chance.
constexpr std::size_t kShortestInside = 4;

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), lower);
    return out;
}

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (lower(c) >= 'a' && lower(c) <= 'f');
}

// Six pairs of hex digits joined by ':' or '-'.
bool isMac(std::string_view text) {
    if (text.size() != 17) {
        return false;
    }
    for (std::size_t k = 0; k < text.size(); ++k) {
        const bool separator = k % 3 == 2;
        if (separator ? (text[k] != ':' && text[k] != '-') : !isHex(text[k])) {
            return false;
        }
    }
    return true;
}

// 8-4-4-4-12 hex digits, in braces or not.
bool isUuid(std::string_view text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') {
        text = text.substr(1, 36);
    }
    if (text.size() != 36) {
        return false;
    }
    for (std::size_t k = 0; k < text.size(); ++k) {
        const bool dash = k == 8 || k == 13 || k == 18 || k == 23;
        if (dash ? text[k] != '-' : !isHex(text[k])) {
            return false;
        }
    }
    return true;
}

bool isIdentifyingAddress(const std::string& text) {
    const auto bytes = parseDottedAddress(text);
    return bytes && (*bytes)[0] != 127 && (*bytes)[0] != 0;
}

// Values that firmware and drivers give when they know nothing.
bool isFiller(std::string_view text) {
    static constexpr std::string_view kFillers[] = {
        "none",
        "not specified",
        "not available",
        "not applicable",
        "unknown",
        "n/a",
        "to be filled by o.e.m.",
        "default string",
        "system serial number",
        "base board serial number",
        "chassis serial number",
        "0123456789",
        "123456789",
        "serial number",
        "sernum0",
    };
    const std::string low = lowered(text);
    if (low.find_first_not_of(" ") == std::string::npos) {
        return true;
    }
    for (const auto filler : kFillers) {
        if (low == filler) {
            return true;
        }
    }
    // One character repeated, separators aside: 00:00:00:00:00:00, FFFFFFFF.
    char seen = 0;
    for (const char c : low) {
        if (c == ':' || c == '-' || c == '.' || c == ' ' || c == '{' || c == '}') {
            continue;
        }
        if (seen != 0 && c != seen) {
            return false;
        }
        seen = c;
    }
    return true;
}

// A drive's world-wide names, which identify it as its serial does: the WWN
// (also as a property ending in it, such as a port's), and NVMe's EUI-64 and
// NGUID.
bool isWorldWideName(const std::string& lowName) {
    const auto endsWith = [&lowName](std::string_view end) {
        return lowName.size() >= end.size() &&
               lowName.compare(lowName.size() - end.size(), end.size(), end) == 0;
    };
    return endsWith("wwn") || lowName.find("worldwidename") != std::string::npos ||
           lowName == "eui64" || lowName == "nguid";
}

// The kind a property's value is by the property's name, if any.
bool kindByName(std::string_view property, Kind& kind) {
    const std::string name = lowered(property);
    if (name == "volumeserialnumber") {
        kind = Kind::Volume;
    } else if (name.find("serialnumber") != std::string::npos || name == "machineid" ||
               name == "identifyingnumber" || isWorldWideName(name)) {
        kind = Kind::Serial;
    } else if (name == "macaddress" || name == "permanentaddress") {
        kind = Kind::Mac;
    } else if (name == "uuid" || name == "guid") {
        kind = Kind::Uuid;
    } else if (name == "csname" || name == "systemname" || name == "dnshostname" ||
               name == "hostname") {
        kind = Kind::Host;
    } else {
        return false;
    }
    return true;
}

bool kindByForm(const std::string& text, Kind& kind) {
    if (isMac(text)) {
        kind = Kind::Mac;
    } else if (isUuid(text)) {
        kind = Kind::Uuid;
    } else if (isIdentifyingAddress(text)) {
        kind = Kind::Address;
    } else {
        return false;
    }
    return true;
}

std::string placeholder(Kind kind, unsigned n) {
    char buffer[64];
    switch (kind) {
        case Kind::Serial:
            std::snprintf(buffer, sizeof buffer, "SERIAL-%u", n);
            break;
        case Kind::Mac:
            std::snprintf(buffer, sizeof buffer, "02:00:00:00:%02X:%02X", (n >> 8) & 0xFF,
                          n & 0xFF);
            break;
        case Kind::Uuid:
            std::snprintf(buffer, sizeof buffer, "00000000-0000-4000-8000-%012X", n);
            break;
        case Kind::Host:
            std::snprintf(buffer, sizeof buffer, "host-%u", n);
            break;
        case Kind::Address: {
            // The documentation networks, 192.0.2.0/24 first.
            static constexpr const char* kNetworks[] = {"192.0.2", "198.51.100", "203.0.113"};
            const unsigned network = ((n - 1) / 254) % 3;
            std::snprintf(buffer, sizeof buffer, "%s.%u", kNetworks[network], (n - 1) % 254 + 1);
            break;
        }
        case Kind::Volume:
            std::snprintf(buffer, sizeof buffer, "%08X", n);
            break;
    }
    return buffer;
}

class Redactor {
  public:
    void note(const std::string& value, Kind kind) {
        if (isFiller(value)) {
            return;
        }
        const std::string key = lowered(value);
        if (m_replacements.count(key) != 0) {
            return;
        }
        const unsigned n = ++m_counts[static_cast<int>(kind)];
        m_replacements.emplace(key, placeholder(kind, n));
    }

    void noteText(const std::string& property, const std::string& value) {
        Kind kind{};
        if (kindByName(property, kind) || kindByForm(value, kind)) {
            note(value, kind);
        }
    }

    // The server of an object path: \\SERVER\namespace:Class...
    void notePathServer(const std::string& path) {
        if (path.rfind("\\\\", 0) == 0) {
            const auto end = path.find('\\', 2);
            if (end != std::string::npos && end > 2 && path.substr(2, end - 2) != ".") {
                note(path.substr(2, end - 2), Kind::Host);
            }
        }
    }

    void order() {
        for (const auto& [from, to] : m_replacements) {
            m_ordered.emplace_back(from, to);
        }
        // The longest first, so that a value inside a longer one is not
        // replaced before it.
        std::stable_sort(m_ordered.begin(), m_ordered.end(), [](const auto& a, const auto& b) {
            return a.first.size() > b.first.size();
        });
    }

    std::string apply(const std::string& text) const {
        if (const auto whole = m_replacements.find(lowered(text)); whole != m_replacements.end()) {
            return whole->second;
        }
        std::string out = text;
        std::string low = lowered(text);
        for (const auto& [from, to] : m_ordered) {
            if (from.size() < kShortestInside) {
                continue;
            }
            std::size_t at = 0;
            while ((at = low.find(from, at)) != std::string::npos) {
                out.replace(at, from.size(), to);
                low.replace(at, from.size(), lowered(to));
                at += to.size();
            }
        }
        return out;
    }

    // An object path: its server as a whole value, the rest as a text.
    std::string applyPath(const std::string& path) const {
        if (path.rfind("\\\\", 0) == 0) {
            if (const auto end = path.find('\\', 2); end != std::string::npos) {
                return "\\\\" + apply(path.substr(2, end - 2)) + apply(path.substr(end));
            }
        }
        return apply(path);
    }

  private:
    std::map<std::string, std::string> m_replacements;
    std::vector<std::pair<std::string, std::string>> m_ordered;
    unsigned m_counts[6] = {};
};

}  // namespace

std::string redactedList() {
    return "serial numbers (SerialNumber and the like, disks' too; the operating\n"
           "system's is the machine id), disks' world-wide names (WWN, EUI64, NGUID),\n"
           "MAC addresses, UUIDs and GUIDs, host names (CSName, SystemName and the\n"
           "server of every object path), IP addresses, volume serial numbers";
}

void redact(std::vector<ClassAnswer>& answers, HostRecord* host) {
    Redactor redactor;
    if (host != nullptr) {
        if (host->name) {
            redactor.note(*host->name, Kind::Host);
        }
        if (host->addresses) {
            for (const auto& address : *host->addresses) {
                if (isIdentifyingAddress(address)) {
                    redactor.note(address, Kind::Address);
                }
            }
        }
    }
    for (const auto& answer : answers) {
        for (const auto& object : answer.instances) {
            redactor.notePathServer(object->path());
            for (const auto& name : object->propertyNames()) {
                const ManagementValue value = object->property(name);
                if (value.kind() == ManagementValue::Kind::Text) {
                    redactor.noteText(name, value.asText());
                }
            }
        }
    }
    redactor.order();

    for (auto& answer : answers) {
        for (auto& object : answer.instances) {
            std::vector<StaticObject::Property> properties;
            std::vector<NullReason> reasons;
            for (const auto& name : object->propertyNames()) {
                ManagementValue value = object->property(name);
                if (value.kind() == ManagementValue::Kind::Text) {
                    value = ManagementValue::text(redactor.apply(value.asText()));
                }
                // Why a value is missing identifies no one and is kept; only
                // an identifying value inside its source or remedy (a host
                // name in a path) is replaced.
                NullReason reason = object->nullReason(name);
                reason.source = redactor.apply(reason.source);
                reason.remedy = redactor.apply(reason.remedy);
                properties.emplace_back(name, std::move(value));
                reasons.push_back(std::move(reason));
            }
            object = std::make_shared<StaticObject>(answer.className,
                                                    redactor.applyPath(object->path()),
                                                    std::move(properties), std::move(reasons));
        }
    }
    if (host != nullptr) {
        if (host->name) {
            host->name = redactor.apply(*host->name);
        }
        if (host->addresses) {
            for (auto& address : *host->addresses) {
                address = redactor.apply(address);
            }
        }
    }
}

}  // namespace tolvex::query
