#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/Sockets.h"
#include "ui/ProgramEnd.h"
#include "ui/Screen.h"

// Windows Sockets start-up and clean-up, and the host's IP address list.
namespace tolvex::modGetIPInfo {

std::uint8_t LoByte(std::uint16_t value);
std::uint8_t HiByte(std::uint16_t value);

// Each byte as unsigned decimal, joined by full stops; never reads past the
// bytes given, whatever length the entry claims.
std::string dottedAddress(const std::vector<std::uint8_t>& address, std::int16_t length);

// At load: starts the sockets library; a failure shows its message and ends
// the program.
void StartWinsock(Sockets& sockets, Screen& screen, ProgramEnd& end);
// At unload: cleans up; a failure shows its message and ends the program.
void EndWinsock(Sockets& sockets, Screen& screen, ProgramEnd& end);
// Step 5 of the start-up sequence: lists the host's addresses in lstIPAddr.
void DetectIPAddresses(Sockets& sockets, Screen& screen);

}  // namespace tolvex::modGetIPInfo
