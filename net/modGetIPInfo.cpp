#include "net/modGetIPInfo.h"

#include <algorithm>
#include <string>

namespace tolvex::modGetIPInfo {

namespace {

// Windows Sockets 1.1: the version asked for and the least we accept.
constexpr std::uint16_t kVersionRequested = 257;  // major 1, minor 1
constexpr int kMinMajor = 1;
constexpr int kMinMinor = 1;
constexpr int kMinSockets = 1;
constexpr int kHostNameLength = 256;

const std::string kNotResponding = "Winsock.dll is not responding.";

// Sockets messages carry no title, so the box shows the application's.
void showMessage(Screen& screen, const std::string& text) {
    screen.messageBox(text, std::string(), kStylePlain);
}

// A number with a blank where a minus sign would stand: " 10093", "-5".
std::string signPadded(int number) {
    return (number >= 0 ? " " : "") + std::to_string(number);
}

}  // namespace

std::uint8_t LoByte(std::uint16_t value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

// The word taken as signed, divided by 256 toward zero, then masked: the
// high-order byte for every word up to 32767.
std::uint8_t HiByte(std::uint16_t value) {
    const auto signedValue = static_cast<std::int16_t>(value);
    return static_cast<std::uint8_t>((signedValue / 256) & 0xFF);
}

// Each byte as unsigned decimal, joined by full stops. Never reads past the
// bytes the resolver gave, whatever length the entry claims.
std::string dottedAddress(const std::vector<std::uint8_t>& address, std::int16_t length) {
    const std::size_t count =
        std::min(address.size(), static_cast<std::size_t>(std::max<std::int16_t>(length, 0)));
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            text += '.';
        }
        text += std::to_string(address[i]);
    }
    return text;
}

void StartWinsock(Sockets& sockets, Screen& screen, ProgramEnd& end) {
    WsaData data;
    if (sockets.WSAStartup(kVersionRequested, data) != 0) {
        showMessage(screen, kNotResponding);
        end.endProgram();
    }
    const int major = LoByte(data.wVersion);
    const int minor = HiByte(data.wVersion);
    if (major < kMinMajor || (major == kMinMajor && minor < kMinMinor)) {
        showMessage(screen, "Windows Sockets version " + std::to_string(major) + "." +
                                std::to_string(minor) + " is not supported by winsock.dll ");
        end.endProgram();
    }
    if (data.iMaxSockets < kMinSockets) {
        showMessage(screen, "This application requires a minimum of " +
                                std::to_string(kMinSockets) + " supported sockets.");
        end.endProgram();
    }
}

void EndWinsock(Sockets& sockets, Screen& screen, ProgramEnd& end) {
    const int result = sockets.WSACleanup();
    if (result != 0) {
        showMessage(screen, "Socket error " + std::to_string(result) + " occurred in Cleanup ");
        end.endProgram();
    }
}

void DetectIPAddresses(Sockets& sockets, Screen& screen) {
    std::string hostName;
    if (sockets.gethostname(hostName, kHostNameLength) == -1) {
        showMessage(screen, "Windows Sockets error " + signPadded(sockets.WSAGetLastError()));
        return;
    }
    // The name ends at its first NUL, as a C buffer would.
    hostName.erase(std::min(hostName.find('\0'), hostName.size()));

    const auto host = sockets.gethostbyname(hostName);
    if (!host) {
        showMessage(screen, kNotResponding);
        return;
    }
    // Each entry is tested before it is read, so an answer without any
    // address leaves the list empty.
    for (const auto& address : host->h_addr_list) {
        const std::string text = dottedAddress(address, host->h_length);
        if (!text.empty()) {
            screen.addListLine("lstIPAddr", text);
        }
    }
}

}  // namespace tolvex::modGetIPInfo
