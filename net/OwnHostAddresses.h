#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/Sockets.h"

// The host's own addresses, answered the way Windows answers a look-up of
// the host's own name: from its network interfaces, not from the resolver.
// On Linux the resolver usually maps the host name to a loopback address
// only (/etc/hosts: 127.0.1.1 on Debian, 127.0.0.1 elsewhere), so resolving
// it would list nothing the host can be reached at.
namespace tolvex::ownhost {

using Ipv4 = std::array<std::uint8_t, 4>;  // network byte order

// One IPv4 address of an interface, as getifaddrs lists it.
struct InterfaceAddress {
    std::string interfaceName;
    bool up = false;        // IFF_UP
    bool loopback = false;  // IFF_LOOPBACK
    Ipv4 address{};
};

bool isLoopbackAddress(const Ipv4& address);

// Whether a name asked for is the host's own name (letters compared
// without regard to case, as host names are).
bool isOwnHostName(std::string_view name, std::string_view hostName);

// The answer for the host's own name: the IPv4 addresses of the interfaces
// that are up, in the order the interfaces are listed, each once, loopback
// addresses left out unless nothing else is there; then each address the
// resolver gives for the name that is neither loopback nor listed yet.
// Without any such address (no interface list, nothing up), the resolver's
// own answer, as for any other name.
std::optional<HostEntry> ownHostEntry(
    const std::optional<std::vector<InterfaceAddress>>& interfaces,
    const std::optional<HostEntry>& resolved);

}  // namespace tolvex::ownhost
