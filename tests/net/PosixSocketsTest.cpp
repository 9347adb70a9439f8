#include <arpa/inet.h>
#include <netdb.h>
#include <unistd.h>

#include <gtest/gtest.h>

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

// The list holds what the system resolver answers for the host name: its
// IPv4 addresses in order, each once.
TEST(PosixSockets, ListsTheResolversAddressesForTheHostName) {
    char host[256] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* result = nullptr;
    if (::getaddrinfo(host, nullptr, &hints, &result) != 0) {
        GTEST_SKIP() << "the resolver does not know this host's name";
    }
    std::vector<std::string> expected;
    for (const addrinfo* info = result; info != nullptr; info = info->ai_next) {
        char text[INET_ADDRSTRLEN] = {};
        const auto* address = reinterpret_cast<const sockaddr_in*>(info->ai_addr);
        ASSERT_NE(::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text), nullptr);
        if (std::find(expected.begin(), expected.end(), text) == expected.end()) {
            expected.emplace_back(text);
        }
    }
    ::freeaddrinfo(result);

    RecordingScreen screen;
    ip::DetectIPAddresses(tolvex::platformSockets(), screen);
    EXPECT_TRUE(screen.boxes.empty());
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(screen.lists["lstIPAddr"], expected);
}

}  // namespace
