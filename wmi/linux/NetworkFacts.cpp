#include "wmi/linux/NetworkFacts.h"

#include <cctype>

#include "wmi/linux/SysText.h"

namespace tolvex::linuxprov {

namespace {

std::optional<std::uint16_t> hexId(const FileTree& files, const std::string& path) {
    const auto content = files.read(path, 64);
    if (!content) {
        return std::nullopt;
    }
    const auto value = text::parseHex(*content);
    if (!value || *value > 0xFFFF) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(*value);
}

HardwareIdentity pciIdentity(const FileTree& files, const std::string& dir, PciNames& names) {
    HardwareIdentity out;
    const auto device = readPciDeviceAt(files, dir, baseName(dir));
    if (device) {
        out.vendor = names.pci().vendorName(device->vendor);
        out.product = names.pci().productName(device->vendor, device->device);
    }
    return out;
}

}  // namespace

HardwareIdentity interfaceHardware(const FileTree& files, const std::string& dir, PciNames& names) {
    const std::string device = dir + "/device";
    if (!files.readLink(device)) {
        return {};
    }
    const auto subsystemLink = files.readLink(device + "/subsystem");
    const std::string subsystem = subsystemLink ? baseName(*subsystemLink) : std::string();
    if (subsystem == "pci") {
        return pciIdentity(files, device, names);
    }
    if (subsystem == "usb") {
        // The link names the USB interface; the device above it has the IDs.
        for (const std::string& at : {device + "/..", device}) {
            const auto vendor = hexId(files, at + "/idVendor");
            const auto product = hexId(files, at + "/idProduct");
            if (vendor && product) {
                return {names.usb().vendorName(*vendor),
                        names.usb().productName(*vendor, *product)};
            }
        }
        return {};
    }
    if (subsystem == "virtio") {
        return pciIdentity(files, device + "/..", names);
    }
    if (subsystem.empty() && files.exists(device + "/vendor") && files.exists(device + "/class")) {
        // A captured tree may lack the subsystem link; a PCI function still
        // shows by its own files.
        return pciIdentity(files, device, names);
    }
    return {};
}

std::optional<std::string> adapterTypeName(std::uint64_t linkType) {
    switch (linkType) {
        case 1:  // ETHER: wired, wireless, bridges, VLANs, virtual Ethernet
            return "Ethernet 802.3";
        case 6:    // IEEE802
        case 800:  // IEEE802_TR
            return "Token Ring 802.5";
        case 7:  // ARCNET
            return "ARCNET";
        case 19:  // ATM
            return "ATM";
        case 24:  // IEEE1394
            return "1394";
        case 512:  // PPP
        case 513:  // CISCO HDLC
        case 516:  // X.25
            return "Wide Area Network (WAN)";
        case 774:  // FDDI
            return "Fiber Distributed Data Interface (FDDI)";
        case 784:  // IRDA
            return "Infrared Wireless";
        case 801:  // IEEE80211 raw
        case 802:  // IEEE80211_PRISM
        case 803:  // IEEE80211_RADIOTAP
            return "Wireless";
        case 768:    // TUNNEL (IPIP)
        case 769:    // TUNNEL6
        case 776:    // SIT
        case 778:    // IPGRE
        case 823:    // IP6GRE
        case 65534:  // NONE: tun devices, WireGuard
            return "Tunnel";
        default:  // loopback, InfiniBand, CAN and the rest
            return std::nullopt;
    }
}

std::optional<std::string> macAddress(const std::string& sysfsAddress) {
    const std::string address = text::trimmed(sysfsAddress);
    if (address.empty()) {
        return std::nullopt;
    }
    std::string out;
    bool allZero = true;
    std::size_t i = 0;
    while (i < address.size()) {
        if (i + 2 > address.size() || !std::isxdigit(static_cast<unsigned char>(address[i])) ||
            !std::isxdigit(static_cast<unsigned char>(address[i + 1]))) {
            return std::nullopt;
        }
        allZero = allZero && address[i] == '0' && address[i + 1] == '0';
        out += text::upper(address.substr(i, 2));
        i += 2;
        if (i < address.size()) {
            if (address[i] != ':') {
                return std::nullopt;
            }
            out.push_back(':');
            ++i;
            if (i == address.size()) {
                return std::nullopt;
            }
        }
    }
    // A MAC address has six bytes; longer link addresses (InfiniBand's 20)
    // are no MAC address.
    if (allZero || out.size() != 17) {
        return std::nullopt;
    }
    return out;
}

}  // namespace tolvex::linuxprov
