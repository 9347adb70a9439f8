#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "net/modGetIPInfo.h"
#include "tests/support/RecordingProgramEnd.h"
#include "tests/support/RecordingScreen.h"

namespace {

using tolvex::testing::RecordingProgramEnd;
using tolvex::testing::RecordingScreen;
namespace ip = tolvex::modGetIPInfo;

TEST(PosixSockets, StartAndCleanupSucceedWithVersion11) {
    tolvex::WsaData data;
    auto& sockets = tolvex::platformSockets();
    ASSERT_EQ(sockets.WSAStartup(257, data), 0);
    EXPECT_EQ(data.wVersion, 0x0101);
    EXPECT_GE(data.iMaxSockets, 1);

    RecordingScreen screen;
    RecordingProgramEnd end;
    ip::StartWinsock(sockets, screen, end);
    ip::EndWinsock(sockets, screen, end);
    EXPECT_TRUE(screen.boxes.empty());
    EXPECT_EQ(end.calls, 0);
}

TEST(PosixSockets, HostNameMatchesSystem) {
    char expected[256] = {};
    ASSERT_EQ(::gethostname(expected, sizeof expected - 1), 0);
    std::string name;
    ASSERT_EQ(tolvex::platformSockets().gethostname(name, 256), 0);
    EXPECT_EQ(name, expected);
}

TEST(PosixSockets, TooSmallBufferIsAnError) {
    std::string name = "unchanged";
    auto& sockets = tolvex::platformSockets();
    EXPECT_EQ(sockets.gethostname(name, 1), -1);
    EXPECT_EQ(sockets.WSAGetLastError(), 10014);
    EXPECT_EQ(name, "unchanged");
}

TEST(PosixSockets, UnresolvableNameIsTheNullAnswer) {
    EXPECT_FALSE(tolvex::platformSockets().gethostbyname("no-such-host.invalid").has_value());
}

// A name other than the host's own is answered by the system resolver: its
// IPv4 addresses in order, each once.
TEST(PosixSockets, OtherNamesAreTheResolversAnswer) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* result = nullptr;
    if (::getaddrinfo("localhost", nullptr, &hints, &result) != 0) {
        GTEST_SKIP() << "the resolver does not know localhost";
    }
    std::vector<std::vector<std::uint8_t>> expected;
    for (const addrinfo* info = result; info != nullptr; info = info->ai_next) {
        const auto* address = reinterpret_cast<const sockaddr_in*>(info->ai_addr);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(&address->sin_addr.s_addr);
        std::vector<std::uint8_t> entry(bytes, bytes + 4);
        if (std::find(expected.begin(), expected.end(), entry) == expected.end()) {
            expected.push_back(entry);
        }
    }
    ::freeaddrinfo(result);

    const auto answer = tolvex::platformSockets().gethostbyname("localhost");
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->h_length, 4);
    EXPECT_EQ(answer->h_addr_list, expected);
}

// This machine's own name: no loopback address is listed while an interface
// other than loopback is up with an IPv4 address.
TEST(PosixSockets, OwnNameListsNoLoopbackBesideRealAddresses) {
    ifaddrs* list = nullptr;
    ASSERT_EQ(::getifaddrs(&list), 0);
    bool realAddress = false;
    for (const ifaddrs* item = list; item != nullptr; item = item->ifa_next) {
        realAddress =
            realAddress || (item->ifa_addr != nullptr && item->ifa_addr->sa_family == AF_INET &&
                            (item->ifa_flags & IFF_UP) && !(item->ifa_flags & IFF_LOOPBACK));
    }
    ::freeifaddrs(list);

    RecordingScreen screen;
    ip::DetectIPAddresses(tolvex::platformSockets(), screen);
    EXPECT_TRUE(screen.boxes.empty());
    const auto& shown = screen.lists["lstIPAddr"];
    ASSERT_FALSE(shown.empty());
    const bool loopbackShown = std::any_of(
        shown.begin(), shown.end(), [](const std::string& a) { return a.rfind("127.", 0) == 0; });
    EXPECT_EQ(loopbackShown, !realAddress);
}

}  // namespace
