#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "wmi/ManagementValue.h"

namespace tolvex::windows {

// The display adapters' device class, whose driver keys hold each adapter's
// hardware information.
inline constexpr const wchar_t* kDisplayClassKey =
    L"SYSTEM\\CurrentControlSet\\Control\\Class\\{4d36e968-e325-11ce-bfc1-08002be10318}";

// The true size of an adapter's memory, from its driver key's 64-bit value
// HardwareInformation.qwMemorySize (REG_QWORD, or 8 bytes of REG_BINARY as
// some drivers write it). The driver key is the one the adapter's device key
// (under Enum, named by its PNP device ID) names as its "Driver"; where the
// service's device ID names no instance there (Wine makes one up), the
// instances of the same hardware ID are asked, and where it names no device
// key at all (Wine's), the one driver key of the class holding the value.
// Nothing when there is no such value.
std::optional<std::uint64_t> videoMemoryFromRegistry(const std::string& pnpDeviceId);

// Win32_VideoController.AdapterRAM as the program shows it: the property is
// 32 bits wide, so the service reports every memory of 4 GiB or more at its
// ceiling (or wrapped); where the registry's size does not fit in 32 bits, or
// the property is Null, the registry's size is the answer.
ManagementValue trueAdapterRam(const ManagementValue& adapterRam,
                               const std::optional<std::uint64_t>& registrySize);

}  // namespace tolvex::windows
