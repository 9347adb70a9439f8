#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Translations from the firmware's and the kernel's memory-module codes to
// the codes of the physical-memory class.
namespace tolvex::linuxprov {

// SMBIOS memory device type (type 17, offset 0x12) to Win32_PhysicalMemory
// MemoryType. Types the class has no code for give 0 (Unknown); the raw
// SMBIOS value travels in SMBIOSMemoryType.
int memoryTypeCode(std::uint8_t smbiosType);

// SMBIOS form factor (type 17, offset 0x0E) to Win32_PhysicalMemory
// FormFactor.
int formFactorCode(std::uint8_t smbiosFormFactor);

// The memory type an EDAC driver names ("Unbuffered-DDR4",
// "Registered-DDR3", "DDR5") as a MemoryType code; no value for names it
// does not know.
std::optional<int> edacMemoryTypeCode(std::string_view edacType);

}  // namespace tolvex::linuxprov
