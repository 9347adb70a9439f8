#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "wmi/linux/PciNames.h"
#include "wmi/linux/SystemSource.h"

namespace tolvex::linuxprov {

// The board's buses as the motherboard device names them: the primary bus
// is "PCI" when the machine has a PCI bus; the secondary one is the legacy
// bus behind a PCI bridge to it ("ISA" behind an ISA or LPC bridge, "EISA"
// behind an EISA bridge). Unknown buses have no value.
struct BusTypes {
    std::optional<std::string> primary;
    std::optional<std::string> secondary;
};

// From the 24-bit PCI class codes of the machine's devices; `pciPresent`
// tells a bus without readable class codes (/proc/bus/pci only) from none.
BusTypes busTypesFromPciClasses(const std::vector<std::uint32_t>& classCodes, bool pciPresent);

// Whether a PCI bus shows: devices listed under /sys/bus/pci/devices, or
// else any line in /proc/bus/pci/devices.
bool pciBusPresent(const FileTree& files, const PciBus& bus);

}  // namespace tolvex::linuxprov
