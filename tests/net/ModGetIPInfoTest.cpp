#include <gtest/gtest.h>

#include "net/modGetIPInfo.h"
#include "tests/support/RecordingProgramEnd.h"
#include "tests/support/RecordingScreen.h"
#include "tests/support/ScriptedSockets.h"

namespace {

using tolvex::HostEntry;
using tolvex::WsaData;
using tolvex::testing::ProgramEnded;
using tolvex::testing::RecordingProgramEnd;
using tolvex::testing::RecordingScreen;
using tolvex::testing::ScriptedSockets;
namespace ip = tolvex::modGetIPInfo;

// Runs StartWinsock and tells whether it ended the program.
bool startEnds(ScriptedSockets& sockets, RecordingScreen& screen, RecordingProgramEnd& end) {
    try {
        ip::StartWinsock(sockets, screen, end);
    } catch (const ProgramEnded&) {
        return true;
    }
    return false;
}

struct StartCase {
    const char* name;
    int startupResult;
    WsaData granted;
    const char* message;  // nullptr: no box, program goes on
};

// Each case shows by its name (in test names and failures), not its bytes.
void PrintTo(const StartCase& c, std::ostream* os) {
    *os << c.name;
}

class StartWinsockTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartWinsockTest, ChecksResultVersionAndSockets) {
    const auto& c = GetParam();
    ScriptedSockets sockets;
    sockets.startupResult = c.startupResult;
    sockets.granted = c.granted;
    RecordingScreen screen;
    RecordingProgramEnd end;

    const bool ended = startEnds(sockets, screen, end);

    EXPECT_EQ(sockets.requestedVersion, 257);
    if (c.message == nullptr) {
        EXPECT_FALSE(ended);
        EXPECT_EQ(end.calls, 0);
        EXPECT_TRUE(screen.boxes.empty());
        return;
    }
    EXPECT_TRUE(ended);
    EXPECT_EQ(end.calls, 1);
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(screen.boxes[0].text, c.message);
    EXPECT_EQ(screen.boxes[0].title, "");
    EXPECT_EQ(screen.boxes[0].style, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartWinsockTest,
    ::testing::Values(
        StartCase{"Granted11", 0, {0x0101, 32767}, nullptr},
        StartCase{"Granted22", 0, {0x0202, 1}, nullptr},
        StartCase{"Granted20", 0, {0x0002, 100}, nullptr},
        StartCase{"OneSocketIsEnough", 0, {0x0101, 1}, nullptr},
        StartCase{"StartupError", 10091, {0x0101, 32767}, "Winsock.dll is not responding."},
        StartCase{"StartupMinusOne", -1, {0x0101, 32767}, "Winsock.dll is not responding."},
        StartCase{"Granted10",
                  0,
                  {0x0001, 32767},
                  "Windows Sockets version 1.0 is not supported by winsock.dll "},
        StartCase{"Granted00",
                  0,
                  {0x0000, 32767},
                  "Windows Sockets version 0.0 is not supported by winsock.dll "},
        StartCase{"Granted0Minor9",
                  0,
                  {0x0900, 32767},
                  "Windows Sockets version 0.9 is not supported by winsock.dll "},
        StartCase{"ZeroSockets",
                  0,
                  {0x0101, 0},
                  "This application requires a minimum of 1 supported sockets."},
        // 0x8000 sockets read as a signed number is negative.
        StartCase{"NegativeSockets",
                  0,
                  {0x0101, static_cast<std::int16_t>(0x8000)},
                  "This application requires a minimum of 1 supported sockets."},
        // The version is checked before the socket count.
        StartCase{"VersionBeforeSockets",
                  0,
                  {0x0001, 0},
                  "Windows Sockets version 1.0 is not supported by winsock.dll "}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST(EndWinsock, SuccessShowsNothing) {
    ScriptedSockets sockets;
    RecordingScreen screen;
    RecordingProgramEnd end;
    ip::EndWinsock(sockets, screen, end);
    EXPECT_EQ(sockets.calls, std::vector<std::string>{"WSACleanup"});
    EXPECT_TRUE(screen.boxes.empty());
    EXPECT_EQ(end.calls, 0);
}

TEST(EndWinsock, FailureShowsResultAndEnds) {
    for (const auto& [result, message] : std::vector<std::pair<int, std::string>>{
             {-1, "Socket error -1 occurred in Cleanup "},
             {10093, "Socket error 10093 occurred in Cleanup "}}) {
        ScriptedSockets sockets;
        sockets.cleanupResult = result;
        RecordingScreen screen;
        RecordingProgramEnd end;
        EXPECT_THROW(ip::EndWinsock(sockets, screen, end), ProgramEnded);
        EXPECT_EQ(end.calls, 1);
        ASSERT_EQ(screen.boxes.size(), 1u);
        EXPECT_EQ(screen.boxes[0].text, message);
        EXPECT_EQ(screen.boxes[0].title, "");
        EXPECT_EQ(screen.boxes[0].style, 0);
    }
}

struct AddressCase {
    const char* name;
    HostEntry entry;
    std::vector<std::string> lines;
};

void PrintTo(const AddressCase& c, std::ostream* os) {
    *os << c.name;
}

class DetectIPAddressesTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(DetectIPAddressesTest, ListsEachAddressInOrder) {
    const auto& c = GetParam();
    ScriptedSockets sockets;
    sockets.hostName = "buildhost";
    sockets.hostEntry = c.entry;
    RecordingScreen screen;

    ip::DetectIPAddresses(sockets, screen);

    EXPECT_EQ(sockets.hostNameLength, 256);
    EXPECT_EQ(sockets.resolvedName, "buildhost");
    EXPECT_TRUE(screen.boxes.empty());
    EXPECT_EQ(screen.lists["lstIPAddr"], c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DetectIPAddressesTest,
    ::testing::Values(
        AddressCase{"Loopback", ScriptedSockets::addresses({{127, 0, 0, 1}}), {"127.0.0.1"}},
        AddressCase{"Three",
                    ScriptedSockets::addresses({{192, 168, 0, 5}, {10, 1, 2, 3}, {172, 16, 0, 1}}),
                    {"192.168.0.5", "10.1.2.3", "172.16.0.1"}},
        AddressCase{"Empty", ScriptedSockets::addresses({}), {}},
        AddressCase{"ZeroAnd255",
                    ScriptedSockets::addresses({{10, 0, 0, 255}, {0, 0, 0, 0}}),
                    {"10.0.0.255", "0.0.0.0"}},
        AddressCase{"AllBytesHigh",
                    ScriptedSockets::addresses({{255, 255, 255, 255}}),
                    {"255.255.255.255"}},
        // An entry shorter than the length it claims is cut, never over-read.
        AddressCase{"ShortEntry", HostEntry{4, {{10, 0}, {1, 2, 3, 4}}}, {"10.0", "1.2.3.4"}},
        AddressCase{"LongerLength", HostEntry{6, {{1, 2, 3, 4, 5, 6}}}, {"1.2.3.4.5.6"}},
        AddressCase{"ZeroLength", HostEntry{0, {{1, 2, 3, 4}}}, {}}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST(DetectIPAddresses, HostNameErrorShowsSignPaddedNumber) {
    for (const auto& [error, message] :
         std::vector<std::pair<int, std::string>>{{10093, "Windows Sockets error  10093"},
                                                  {0, "Windows Sockets error  0"},
                                                  {-5, "Windows Sockets error -5"}}) {
        ScriptedSockets sockets;
        sockets.hostNameResult = -1;
        sockets.lastError = error;
        sockets.hostEntry = ScriptedSockets::addresses({{127, 0, 0, 1}});
        RecordingScreen screen;

        ip::DetectIPAddresses(sockets, screen);

        ASSERT_EQ(screen.boxes.size(), 1u);
        EXPECT_EQ(screen.boxes[0].text, message);
        EXPECT_EQ(screen.boxes[0].title, "");
        EXPECT_EQ(screen.boxes[0].style, 0);
        EXPECT_TRUE(screen.lists["lstIPAddr"].empty());
        // The resolver is not asked once the name is unavailable.
        EXPECT_EQ(sockets.calls, (std::vector<std::string>{"gethostname", "WSAGetLastError"}));
    }
}

TEST(DetectIPAddresses, NullResolverAnswerShowsNotResponding) {
    ScriptedSockets sockets;
    sockets.hostEntry = std::nullopt;
    RecordingScreen screen;

    ip::DetectIPAddresses(sockets, screen);  // returns: the program goes on

    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(screen.boxes[0].text, "Winsock.dll is not responding.");
    EXPECT_EQ(screen.boxes[0].title, "");
    EXPECT_EQ(screen.boxes[0].style, 0);
    EXPECT_TRUE(screen.lists["lstIPAddr"].empty());
}

TEST(DetectIPAddresses, HostNameEndsAtFirstNul) {
    ScriptedSockets sockets;
    sockets.hostName = std::string("host\0junk", 9);
    RecordingScreen screen;
    ip::DetectIPAddresses(sockets, screen);
    EXPECT_EQ(sockets.resolvedName, "host");
}

TEST(VersionBytes, LoByteIsLowEightBitsOverWholeRange) {
    for (std::uint32_t v = 0; v <= 0xFFFF; ++v) {
        ASSERT_EQ(ip::LoByte(static_cast<std::uint16_t>(v)), v % 256) << v;
    }
}

TEST(VersionBytes, HiByteIsHighByteUpTo32767) {
    for (std::uint32_t v = 0; v <= 0x7FFF; ++v) {
        ASSERT_EQ(ip::HiByte(static_cast<std::uint16_t>(v)), v / 256) << v;
    }
}

TEST(VersionBytes, HiByteAboveSignedRangeTruncatesTowardZero) {
    struct Case {
        std::uint16_t value;
        std::uint8_t hi;
    };
    for (const auto& c :
         {Case{0x8000, 0x80}, Case{0x8100, 0x81}, Case{0x8101, 0x82}, Case{0xFF00, 0xFF},
          Case{0xFF01, 0x00}, Case{0xFFFF, 0x00}, Case{0xFE80, 0xFF}}) {
        EXPECT_EQ(ip::HiByte(c.value), c.hi) << std::hex << c.value;
    }
}

}  // namespace
