#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wmi/linux/SystemSource.h"

namespace tolvex::linuxprov {

// A vendor and product ID database in the layout of pci.ids and usb.ids:
// a vendor line "vvvv  Name", then its products as "\tdddd  Name". The file
// is mapped once per database; a vendor's block is found by a binary search over the vendor lines,
// which these files keep in ascending order (a file out of order is still searched line by line for
// a vendor the search misses). A product is looked for in its vendor's block when asked for; the
// names found are kept.
class IdDatabase {
  public:
    // The first of the candidate files that can be opened is used.
    explicit IdDatabase(std::vector<std::string> candidates);

    std::optional<std::string> vendorName(std::uint16_t vendor);
    std::optional<std::string> productName(std::uint16_t vendor, std::uint16_t product);

    struct MappedFile;  // a file's mapping, shared

  private:
    struct Vendor {
        std::optional<std::string> name;  // no value: the vendor is not listed
        std::size_t line = 0;             // where its line starts
        std::map<std::uint16_t, std::optional<std::string>> products;  // asked so far
    };
    Vendor& load(std::uint16_t vendor);
    std::string_view text();

    std::vector<std::string> m_candidates;
    std::map<std::uint16_t, Vendor> m_vendors;
    std::shared_ptr<const MappedFile> m_file;  // set on the first look-up
    bool m_opened = false;
};

// The live system's PCI and USB databases (never those of a captured tree:
// names belong to the IDs, not to the machine).
class PciNames {
  public:
    PciNames();
    PciNames(std::vector<std::string> pciFiles, std::vector<std::string> usbFiles);

    IdDatabase& pci() { return m_pci; }
    IdDatabase& usb() { return m_usb; }

  private:
    IdDatabase m_pci;
    IdDatabase m_usb;
};

// A PCI function as /sys/bus/pci/devices/<address> describes it.
struct PciDevice {
    std::string address;          // "0000:05:00.0"
    std::uint32_t classCode = 0;  // base class, subclass, programming interface: 0x030000
    std::uint16_t vendor = 0;
    std::uint16_t device = 0;
    std::optional<std::uint8_t> revision;
    std::optional<std::string> driver;  // the bound kernel driver

    std::uint8_t baseClass() const { return static_cast<std::uint8_t>(classCode >> 16); }
    std::uint8_t subClass() const { return static_cast<std::uint8_t>(classCode >> 8); }
};

// One device; no value when its class or IDs cannot be read.
std::optional<PciDevice> readPciDevice(const FileTree& files, const std::string& address);
// The same, from a device directory reached another way (the parent of a
// virtio device, say).
std::optional<PciDevice> readPciDeviceAt(const FileTree& files, const std::string& dir,
                                         const std::string& address);
// What /sys/bus/pci/devices lists.
struct PciBus {
    std::size_t listed = 0;                 // entries in the directory
    std::vector<PciDevice> devices;         // the readable ones, in address order
    std::vector<std::uint32_t> classCodes;  // every class file that reads, IDs or not
};

// The PCI bus as one service sees it: read at the first class that asks and
// shared by the later ones, so the motherboard, display and storage classes
// of one query read each device's files once. A new service (each Connect
// makes one) reads the bus again.
class PciBusView {
  public:
    const PciBus& bus(const FileTree& files) const;

  private:
    mutable std::once_flag m_read;
    mutable PciBus m_bus;
};

// The last part of a path ("../../bus/pci/drivers/igb" gives "igb").
std::string baseName(const std::string& path);

}  // namespace tolvex::linuxprov
