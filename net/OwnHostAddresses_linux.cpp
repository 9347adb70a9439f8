#include "net/OwnHostAddresses.h"

#include <algorithm>

namespace tolvex::ownhost {

bool isLoopbackAddress(const Ipv4& address) {
    return address[0] == 127;
}

bool isOwnHostName(std::string_view name, std::string_view hostName) {
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return !name.empty() && name.size() == hostName.size() &&
           std::equal(name.begin(), name.end(), hostName.begin(),
                      [&](char a, char b) { return lower(a) == lower(b); });
}

std::optional<HostEntry> ownHostEntry(
    const std::optional<std::vector<InterfaceAddress>>& interfaces,
    const std::optional<HostEntry>& resolved) {
    std::vector<Ipv4> listed;
    std::vector<Ipv4> loopbacks;
    const auto add = [](std::vector<Ipv4>& list, const Ipv4& address) {
        if (std::find(list.begin(), list.end(), address) == list.end()) {
            list.push_back(address);
        }
    };
    if (interfaces) {
        for (const auto& entry : *interfaces) {
            if (!entry.up) {
                continue;
            }
            if (entry.loopback || isLoopbackAddress(entry.address)) {
                add(loopbacks, entry.address);
            } else {
                add(listed, entry.address);
            }
        }
    }
    if (resolved && resolved->h_length == 4) {
        for (const auto& bytes : resolved->h_addr_list) {
            if (bytes.size() != 4) {
                continue;
            }
            const Ipv4 address{bytes[0], bytes[1], bytes[2], bytes[3]};
            if (!isLoopbackAddress(address)) {
                add(listed, address);
            }
        }
    }
    if (listed.empty()) {
        listed = loopbacks;
    }
    if (listed.empty()) {
        return resolved;
    }
    HostEntry entry;
    entry.h_length = 4;
    for (const auto& address : listed) {
        entry.h_addr_list.emplace_back(address.begin(), address.end());
    }
    return entry;
}

}  // namespace tolvex::ownhost
