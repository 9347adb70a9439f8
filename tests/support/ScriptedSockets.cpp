#include "tests/support/ScriptedSockets.h"

namespace tolvex::testing {

HostEntry ScriptedSockets::addresses(std::vector<std::vector<std::uint8_t>> list) {
    HostEntry entry;
    entry.h_length = 4;
    entry.h_addr_list = std::move(list);
    return entry;
}

int ScriptedSockets::WSAStartup(std::uint16_t versionRequested, WsaData& data) {
    calls.emplace_back("WSAStartup");
    requestedVersion = versionRequested;
    if (startupResult == 0) {
        data = granted;
    }
    return startupResult;
}

int ScriptedSockets::WSACleanup() {
    calls.emplace_back("WSACleanup");
    return cleanupResult;
}

int ScriptedSockets::gethostname(std::string& name, int length) {
    calls.emplace_back("gethostname");
    hostNameLength = length;
    if (hostNameResult == 0) {
        name = hostName;
    }
    return hostNameResult;
}

int ScriptedSockets::WSAGetLastError() {
    calls.emplace_back("WSAGetLastError");
    return lastError;
}

std::optional<HostEntry> ScriptedSockets::gethostbyname(const std::string& name) {
    calls.emplace_back("gethostbyname");
    resolvedName = name;
    return hostEntry;
}

}  // namespace tolvex::testing
