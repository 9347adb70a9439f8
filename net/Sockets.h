#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolvex {

// What StartWinsock reads of the start-up record.
struct WsaData {
    std::uint16_t wVersion = 0;    // low byte: major, high byte: minor
    std::int16_t iMaxSockets = 0;  // compared as signed
};

// A host entry: the length of each address and the address list in the
// resolver's order, each address h_length bytes in network byte order.
struct HostEntry {
    std::int16_t h_length = 4;
    std::vector<std::vector<std::uint8_t>> h_addr_list;
};

// The sockets functions the program uses, as Windows Sockets 1.1 offers
// them. WSOCK32 on Windows, the POSIX resolver on Linux, a script in tests.
class Sockets {
  public:
    virtual ~Sockets() = default;
    // 0 on success, with data filled.
    virtual int WSAStartup(std::uint16_t versionRequested, WsaData& data) = 0;
    // 0 on success; the library's failure value (-1) otherwise.
    virtual int WSACleanup() = 0;
    // 0 and the name on success; -1 on failure (then WSAGetLastError).
    virtual int gethostname(std::string& name, int length) = 0;
    virtual int WSAGetLastError() = 0;
    // No value: the resolver's null answer.
    virtual std::optional<HostEntry> gethostbyname(const std::string& name) = 0;
};

// This platform's sockets functions.
Sockets& platformSockets();

}  // namespace tolvex
