#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolvex {

// What is known of a host's name and addresses, as plain data: the sockets
// layer fills it in on the machine itself, a snapshot carries it to another.
// The name, or the error number gethostname failed with; the addresses the
// resolver gives for that name, each in dotted form, in the resolver's order
// (no value: the resolver's null answer).
struct HostRecord {
    std::optional<std::string> name;
    int error = 0;
    std::optional<std::vector<std::string>> addresses;

    bool operator==(const HostRecord&) const = default;
};

// The bytes of a dotted IPv4 address ("192.0.2.7"); no value when the text
// is not four decimal numbers of 0 to 255.
std::optional<std::vector<std::uint8_t>> parseDottedAddress(const std::string& text);

}  // namespace tolvex
