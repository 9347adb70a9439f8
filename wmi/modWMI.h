#pragma once

#include <cstdint>
#include <string>

// The code tables: each turns one numeric code of a management property into
// the text the main window shows. Every 16-bit code yields a text, possibly
// empty.
namespace tolvex::modWMI {

std::string ProtocolText(std::int16_t code);
std::string VideoArchitectureText(std::int16_t code);
std::string VideoMemoryTypeText(std::int16_t code);
std::string MemoryFormFactorText(std::int16_t code);
std::string MemoryTypeDetailText(std::int16_t code);
std::string MemoryTypeText(std::int16_t code);
std::string DriveTypeText(std::int16_t code);
std::string ProcessorTypeText(std::int16_t code);
std::string ProcessorArchitectureText(std::int16_t code);
std::string ProcessorFamilyText(std::int16_t code);
std::string AvailabilityText(std::int16_t code);
std::string CpuStatusText(std::int16_t code);

}  // namespace tolvex::modWMI
