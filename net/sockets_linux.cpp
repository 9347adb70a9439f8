// The sockets functions over the POSIX host-name and resolver calls. Nothing
// needs starting on Linux, so start-up grants version 1.1 with the process's
// descriptor limit as its socket count, and clean-up always succeeds. The
// host's own name is answered from its interfaces, as Windows answers it.
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "net/OwnHostAddresses.h"
#include "net/Sockets.h"

namespace tolvex {

namespace {

// WSAEFAULT: the name did not fit the buffer.
constexpr int kWsaEFault = 10014;

class PosixSockets : public Sockets {
  public:
    int WSAStartup(std::uint16_t /*versionRequested*/, WsaData& data) override {
        data.wVersion = 0x0101;
        data.iMaxSockets = socketCount();
        return 0;
    }

    int WSACleanup() override { return 0; }

    int gethostname(std::string& name, int length) override {
        if (length <= 0) {
            m_lastError = kWsaEFault;
            return -1;
        }
        std::string buffer(static_cast<std::size_t>(length), '\0');
        if (::gethostname(buffer.data(), buffer.size()) != 0) {
            m_lastError = (errno == ENAMETOOLONG || errno == EFAULT) ? kWsaEFault : errno;
            return -1;
        }
        // A name that filled the whole buffer has no NUL: Windows answers that
        // with WSAEFAULT rather than a cut name.
        const auto end = buffer.find('\0');
        if (end == std::string::npos) {
            m_lastError = kWsaEFault;
            return -1;
        }
        name = buffer.substr(0, end);
        return 0;
    }

    int WSAGetLastError() override { return m_lastError; }

    std::optional<HostEntry> gethostbyname(const std::string& name) override {
        std::optional<HostEntry> resolved = resolve(name);
        char hostName[256] = {};
        if (::gethostname(hostName, sizeof hostName - 1) != 0 ||
            !ownhost::isOwnHostName(name, hostName)) {
            return resolved;
        }
        return ownhost::ownHostEntry(interfaceAddresses(), resolved);
    }

  private:
    // The resolver's IPv4 answer for a name, each address once.
    static std::optional<HostEntry> resolve(const std::string& name) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;  // one socket type: each address once
        addrinfo* result = nullptr;
        if (::getaddrinfo(name.c_str(), nullptr, &hints, &result) != 0 || result == nullptr) {
            return std::nullopt;
        }
        HostEntry entry;
        entry.h_length = 4;
        for (const addrinfo* info = result; info != nullptr; info = info->ai_next) {
            if (info->ai_family != AF_INET || info->ai_addr == nullptr ||
                info->ai_addrlen < sizeof(sockaddr_in)) {
                continue;
            }
            sockaddr_in address{};
            std::memcpy(&address, info->ai_addr, sizeof address);
            std::vector<std::uint8_t> bytes(4);
            std::memcpy(bytes.data(), &address.sin_addr.s_addr, 4);  // network order
            if (std::find(entry.h_addr_list.begin(), entry.h_addr_list.end(), bytes) ==
                entry.h_addr_list.end()) {
                entry.h_addr_list.push_back(std::move(bytes));
            }
        }
        ::freeaddrinfo(result);
        return entry;
    }

    // The IPv4 addresses of the interfaces, in the kernel's order (by
    // interface index); no value when the list cannot be had.
    static std::optional<std::vector<ownhost::InterfaceAddress>> interfaceAddresses() {
        ifaddrs* list = nullptr;
        if (::getifaddrs(&list) != 0) {
            return std::nullopt;
        }
        std::vector<ownhost::InterfaceAddress> addresses;
        for (const ifaddrs* item = list; item != nullptr; item = item->ifa_next) {
            if (item->ifa_addr == nullptr || item->ifa_addr->sa_family != AF_INET) {
                continue;
            }
            sockaddr_in address{};
            std::memcpy(&address, item->ifa_addr, sizeof address);
            ownhost::InterfaceAddress entry;
            entry.interfaceName = item->ifa_name != nullptr ? item->ifa_name : "";
            entry.up = (item->ifa_flags & IFF_UP) != 0;
            entry.loopback = (item->ifa_flags & IFF_LOOPBACK) != 0;
            std::memcpy(entry.address.data(), &address.sin_addr.s_addr, 4);  // network order
            addresses.push_back(std::move(entry));
        }
        ::freeifaddrs(list);
        return addresses;
    }

    static std::int16_t socketCount() {
        rlimit limit{};
        constexpr auto kMax = std::numeric_limits<std::int16_t>::max();
        if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
            limit.rlim_cur > static_cast<rlim_t>(kMax)) {
            return kMax;
        }
        return static_cast<std::int16_t>(std::max<rlim_t>(limit.rlim_cur, 1));
    }

    int m_lastError = 0;
};

}  // namespace

Sockets& platformSockets() {
    static PosixSockets sockets;
    return sockets;
}

}  // namespace tolvex
