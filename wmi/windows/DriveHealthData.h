#pragma once

// The byte layouts Windows hands back for a drive's health, read with every
// offset bounded. No Windows header, so the same code is compiled for Windows
// and tested on Linux against answers built by hand.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace tolvex::windows {

// STORAGE_TEMPERATURE_DATA_DESCRIPTOR, the answer of IOCTL_STORAGE_QUERY_PROPERTY
// for StorageDeviceTemperatureProperty:
//   DWORD Version, DWORD Size, SHORT CriticalTemperature,
//   SHORT WarningTemperature, WORD InfoCount, BYTE[2], DWORD[2],
//   then InfoCount STORAGE_TEMPERATURE_INFO of 16 bytes:
//   WORD Index, SHORT Temperature, SHORT OverThreshold, ... (degrees Celsius).
// The first sensor is the drive's own (NVMe's composite temperature). A limit
// of 0 or below is one the drive does not report.
struct DriveTemperature {
    std::int16_t celsius = 0;
    std::optional<std::int16_t> warningCelsius;
    std::optional<std::int16_t> criticalCelsius;
};

inline constexpr std::size_t kTemperatureHeaderBytes = 24;
inline constexpr std::size_t kTemperatureInfoBytes = 16;

namespace drivehealth_detail {
inline std::uint16_t le16(const unsigned char* at) {
    return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}
inline std::uint32_t le32(const unsigned char* at) {
    return static_cast<std::uint32_t>(le16(at)) | (static_cast<std::uint32_t>(le16(at + 2)) << 16);
}
}  // namespace drivehealth_detail

// No value when the answer holds no sensor, is shorter than it says, or says
// it is longer than what was returned.
inline std::optional<DriveTemperature> parseTemperatureDescriptor(const unsigned char* bytes,
                                                                  std::size_t returned) {
    using drivehealth_detail::le16;
    using drivehealth_detail::le32;
    if (bytes == nullptr || returned < kTemperatureHeaderBytes) {
        return std::nullopt;
    }
    const std::uint32_t size = le32(bytes + 4);
    const std::uint16_t count = le16(bytes + 12);
    if (count == 0 || size > returned ||
        size < kTemperatureHeaderBytes + std::size_t{count} * kTemperatureInfoBytes) {
        return std::nullopt;
    }
    DriveTemperature out;
    out.celsius = static_cast<std::int16_t>(le16(bytes + kTemperatureHeaderBytes + 2));
    const auto critical = static_cast<std::int16_t>(le16(bytes + 8));
    const auto warning = static_cast<std::int16_t>(le16(bytes + 10));
    if (critical > 0) {
        out.criticalCelsius = critical;
    }
    if (warning > 0) {
        out.warningCelsius = warning;
    }
    return out;
}

// The ATA SMART attribute table of MSStorageDriver_FailurePredictData's
// VendorSpecific: a 2-byte revision, then 30 entries of 12 bytes
// (id, 2 flag bytes, value, worst, 6 raw bytes little-endian, reserved);
// id 0 marks an unused entry.
struct SmartCounts {
    std::optional<std::uint64_t> powerOnHours;  // attribute 9
    std::optional<std::uint64_t> badSectors;    // attributes 5 and 197 together
};

inline SmartCounts parseSmartAttributes(const unsigned char* bytes, std::size_t size) {
    constexpr std::size_t kFirst = 2;
    constexpr std::size_t kEntryBytes = 12;
    constexpr std::size_t kEntries = 30;
    SmartCounts out;
    if (bytes == nullptr) {
        return out;
    }
    for (std::size_t k = 0; k < kEntries && kFirst + (k + 1) * kEntryBytes <= size; ++k) {
        const unsigned char* entry = bytes + kFirst + k * kEntryBytes;
        std::uint64_t raw = 0;
        for (int b = 5; b >= 0; --b) {
            raw = (raw << 8) | entry[5 + b];
        }
        switch (entry[0]) {
            case 9:
                // Hours in the low 32 bits; some makers keep minutes or
                // milliseconds in the bytes above.
                out.powerOnHours = raw & 0xFFFFFFFFu;
                break;
            case 5:
            case 197:
                out.badSectors = out.badSectors.value_or(0) + (raw & 0xFFFFFFFFu);
                break;
            default:
                break;
        }
    }
    return out;
}

}  // namespace tolvex::windows
