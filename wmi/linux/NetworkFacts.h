#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "wmi/linux/PciNames.h"
#include "wmi/linux/SystemSource.h"

namespace tolvex::linuxprov {

// The vendor and product names of the hardware behind a device directory,
// from the ID databases; both empty for a virtual device.
struct HardwareIdentity {
    std::optional<std::string> vendor;
    std::optional<std::string> product;
};

// The hardware behind /sys/class/<class>/<name>: its "device" link leads to a
// PCI function, a USB interface (whose parent holds the IDs) or a virtio
// device (whose parent is the PCI function).
HardwareIdentity interfaceHardware(const FileTree& files, const std::string& dir, PciNames& names);

// The service's word for a link-layer type of /sys/class/net/*/type
// (the ARPHRD_ numbers); no value where none of its words fits.
std::optional<std::string> adapterTypeName(std::uint64_t linkType);

// A hardware address as the service writes it: upper-case hexadecimal pairs
// joined by colons. No value for an empty or all-zero address, one that is
// not six hexadecimal pairs (a tunnel's IPv4 endpoint, InfiniBand's 20 bytes).
std::optional<std::string> macAddress(const std::string& sysfsAddress);

}  // namespace tolvex::linuxprov
