#pragma once

#include <optional>
#include <string>
#include <vector>

#include "net/Sockets.h"

namespace tolvex::testing {

// Sockets that answer from a script: any start-up result and granted record,
// host-name failure with its error number, resolver answer (null, empty or
// any addresses) and clean-up result. Records the calls it receives.
class ScriptedSockets : public Sockets {
  public:
    int startupResult = 0;
    WsaData granted{0x0101, 32767};
    int hostNameResult = 0;  // -1: gethostname fails with lastError
    std::string hostName = "tolvexhost";
    int lastError = 0;
    std::optional<HostEntry> hostEntry = HostEntry{};
    int cleanupResult = 0;

    // Calls received, in order, with their arguments where they have any.
    std::vector<std::string> calls;
    std::uint16_t requestedVersion = 0;
    int hostNameLength = 0;
    std::string resolvedName;

    // An answer listing these addresses, each 4 bytes.
    static HostEntry addresses(std::vector<std::vector<std::uint8_t>> list);

    int WSAStartup(std::uint16_t versionRequested, WsaData& data) override;
    int WSACleanup() override;
    int gethostname(std::string& name, int length) override;
    int WSAGetLastError() override;
    std::optional<HostEntry> gethostbyname(const std::string& name) override;
};

}  // namespace tolvex::testing
