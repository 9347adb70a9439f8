// The sockets functions from WSOCK32 (Windows Sockets 1.1).
#include <winsock.h>

#include <vector>

#include "net/Sockets.h"

namespace tolvex {

namespace {

class WinsockSockets : public Sockets {
  public:
    int WSAStartup(std::uint16_t versionRequested, WsaData& data) override {
        WSADATA record{};
        const int result = ::WSAStartup(versionRequested, &record);
        if (result == 0) {
            data.wVersion = record.wVersion;
            data.iMaxSockets = static_cast<std::int16_t>(record.iMaxSockets);
        }
        return result;
    }

    int WSACleanup() override { return ::WSACleanup(); }

    int gethostname(std::string& name, int length) override {
        if (length <= 0) {
            return ::gethostname(nullptr, 0);  // fails with WSAEFAULT
        }
        std::vector<char> buffer(static_cast<std::size_t>(length), '\0');
        const int result = ::gethostname(buffer.data(), length);
        if (result == 0) {
            // The name ends at its NUL; a full buffer without one is cut.
            std::size_t end = 0;
            while (end < buffer.size() && buffer[end] != '\0') {
                ++end;
            }
            name.assign(buffer.data(), end);
        }
        return result;
    }

    int WSAGetLastError() override { return ::WSAGetLastError(); }

    // The host entry lives in the library's memory until the next call on
    // this thread: its addresses are copied out at once. The address list is
    // tested for its terminating null before each entry is read.
    std::optional<HostEntry> gethostbyname(const std::string& name) override {
        const hostent* host = ::gethostbyname(name.c_str());
        if (host == nullptr) {
            return std::nullopt;
        }
        HostEntry entry;
        entry.h_length = host->h_length;
        const std::size_t length =
            host->h_length > 0 ? static_cast<std::size_t>(host->h_length) : 0;
        if (host->h_addr_list != nullptr) {
            for (char** address = host->h_addr_list; *address != nullptr; ++address) {
                const auto* bytes = reinterpret_cast<const std::uint8_t*>(*address);
                entry.h_addr_list.emplace_back(bytes, bytes + length);
            }
        }
        return entry;
    }
};

}  // namespace

Sockets& platformSockets() {
    static WinsockSockets sockets;
    return sockets;
}

}  // namespace tolvex
