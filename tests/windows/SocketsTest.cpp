// modGetIPInfo over WSOCK32, as Wine provides it.
#include <gtest/gtest.h>

#include <regex>

#include "net/modGetIPInfo.h"
#include "tests/support/RecordingScreen.h"

namespace {

using tolvex::testing::RecordingScreen;
namespace ip = tolvex::modGetIPInfo;

class FailingEnd : public tolvex::ProgramEnd {
  public:
    [[noreturn]] void endProgram() override { throw std::logic_error("the program was ended"); }
};

TEST(WinSockets, StartListAndCleanUp) {
    auto& sockets = tolvex::platformSockets();
    RecordingScreen screen;
    FailingEnd end;
    ASSERT_NO_THROW(ip::StartWinsock(sockets, screen, end));
    ip::DetectIPAddresses(sockets, screen);
    ASSERT_NO_THROW(ip::EndWinsock(sockets, screen, end));

    EXPECT_TRUE(screen.boxes.empty()) << screen.boxes[0].text;
    const auto& lines = screen.lists["lstIPAddr"];
    ASSERT_FALSE(lines.empty());
    const std::regex dotted(
        "(25[0-5]|2[0-4][0-9]|1?[0-9]?[0-9])(\\.(25[0-5]|2[0-4][0-9]|1?[0-9]?[0-9])){3}");
    for (const auto& line : lines) {
        EXPECT_TRUE(std::regex_match(line, dotted)) << line;
    }
}

TEST(WinSockets, GrantsVersion11WithSockets) {
    tolvex::WsaData data;
    auto& sockets = tolvex::platformSockets();
    ASSERT_EQ(sockets.WSAStartup(257, data), 0);
    EXPECT_EQ(ip::LoByte(data.wVersion), 1);
    EXPECT_EQ(ip::HiByte(data.wVersion), 1);
    EXPECT_GE(data.iMaxSockets, 1);
    EXPECT_EQ(sockets.WSACleanup(), 0);
}

}  // namespace
