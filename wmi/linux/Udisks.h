#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "wmi/NullReason.h"

// What udisks publishes about the drives on the system bus, read without
// authorisation: udisks reads SMART as root and republishes it on its
// documented interfaces org.freedesktop.UDisks2.Drive and Drive.Ata, whose
// properties every user may read.
namespace tolvex::linuxprov {

struct UdisksDrive {
    std::string kernelName;  // of its block device: "sda" from Block.Device "/dev/sda"
    std::optional<std::string> serial;
    std::optional<std::string> wwn;
    std::optional<std::string> model;
    bool ata = false;  // the drive has the Drive.Ata interface
    std::optional<bool> smartSupported;
    std::optional<bool> smartEnabled;
    // Seconds since the epoch of the last SMART read; 0: never read.
    std::optional<std::uint64_t> smartUpdated;
    std::optional<bool> smartFailing;
    std::optional<double> smartTemperatureKelvin;  // 0: unknown
    std::optional<std::uint64_t> smartPowerOnSeconds;
    std::optional<std::int64_t> smartNumBadSectors;  // -1: unknown
};

// udisks' answer, or why there is none: udisks not running, no system bus,
// no answer in time (failure is Kind::None when it answered).
struct UdisksAnswer {
    NullReason::Kind failure = NullReason::Kind::NotProvided;
    std::string source = "udisks";  // "udisks", "udisks (not running)", ...
    std::string remedy;
    std::vector<UdisksDrive> drives;

    const UdisksDrive* drive(const std::string& kernelName) const;
};

// How long the whole exchange with the bus may take.
inline constexpr std::chrono::milliseconds kUdisksTimeout{1000};

// Asks udisks for its objects (one GetManagedObjects call) over the bus at
// `address` ("unix:path=/run/dbus/system_bus_socket"), or over the system
// bus when it is empty (DBUS_SYSTEM_BUS_ADDRESS, else the standard socket).
// Never prompts for authorisation and never starts udisks: a stopped daemon
// is reported as not running. Bounded by `timeout`.
UdisksAnswer readUdisks(const std::string& address, std::chrono::milliseconds timeout);

}  // namespace tolvex::linuxprov
