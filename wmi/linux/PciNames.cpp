#include "wmi/linux/PciNames.h"

#include <fstream>

#include "wmi/linux/SysText.h"

namespace tolvex::linuxprov {

namespace {

// "vvvv  Name" at the start of a line (or after one tab for a product).
std::optional<std::pair<std::uint16_t, std::string>> idLine(const std::string& line,
                                                            std::size_t start) {
    if (line.size() < start + 6 || line[start + 4] != ' ') {
        return std::nullopt;
    }
    const auto id = text::parseHex(std::string_view(line).substr(start, 4));
    if (!id) {
        return std::nullopt;
    }
    const std::string name = text::trimmed(std::string_view(line).substr(start + 4));
    if (name.empty()) {
        return std::nullopt;
    }
    return std::make_pair(static_cast<std::uint16_t>(*id), text::cleanText(name));
}

}  // namespace

IdDatabase::IdDatabase(std::vector<std::string> candidates) : m_candidates(std::move(candidates)) {}

const IdDatabase::Vendor& IdDatabase::load(std::uint16_t vendor) {
    if (const auto it = m_vendors.find(vendor); it != m_vendors.end()) {
        return it->second;
    }
    Vendor entry;
    for (const auto& candidate : m_candidates) {
        std::ifstream file(candidate, std::ios::binary);
        if (!file) {
            continue;
        }
        std::string line;
        bool inside = false;
        while (std::getline(file, line)) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (line.empty() || line[0] == '#') {
                continue;
            }
            if (line[0] != '\t') {
                if (inside) {
                    break;  // the next vendor's block begins
                }
                const auto parsed = idLine(line, 0);
                if (parsed && parsed->first == vendor) {
                    entry.name = parsed->second;
                    inside = true;
                }
                continue;
            }
            if (inside && line.size() > 1 && line[1] != '\t') {
                if (const auto parsed = idLine(line, 1)) {
                    entry.products.emplace(parsed->first, parsed->second);
                }
            }
        }
        break;
    }
    return m_vendors.emplace(vendor, std::move(entry)).first->second;
}

std::optional<std::string> IdDatabase::vendorName(std::uint16_t vendor) {
    return load(vendor).name;
}

std::optional<std::string> IdDatabase::productName(std::uint16_t vendor, std::uint16_t product) {
    const Vendor& entry = load(vendor);
    const auto it = entry.products.find(product);
    if (it == entry.products.end()) {
        return std::nullopt;
    }
    return it->second;
}

PciNames::PciNames()
    : PciNames({"/usr/share/misc/pci.ids", "/usr/share/hwdata/pci.ids", "/usr/share/pci.ids"},
               {"/usr/share/misc/usb.ids", "/var/lib/usbutils/usb.ids", "/usr/share/hwdata/usb.ids",
                "/usr/share/usb.ids"}) {}

PciNames::PciNames(std::vector<std::string> pciFiles, std::vector<std::string> usbFiles)
    : m_pci(std::move(pciFiles)), m_usb(std::move(usbFiles)) {}

std::string baseName(const std::string& path) {
    std::string trimmedPath = path;
    while (trimmedPath.size() > 1 && trimmedPath.back() == '/') {
        trimmedPath.pop_back();
    }
    const auto slash = trimmedPath.rfind('/');
    return slash == std::string::npos ? trimmedPath : trimmedPath.substr(slash + 1);
}

std::optional<PciDevice> readPciDevice(const FileTree& files, const std::string& address) {
    return readPciDeviceAt(files, "/sys/bus/pci/devices/" + address, address);
}

std::optional<PciDevice> readPciDeviceAt(const FileTree& files, const std::string& dir,
                                         const std::string& address) {
    const auto hexFile = [&](const char* name) -> std::optional<std::uint64_t> {
        const auto content = files.read(dir + "/" + name, 64);
        return content ? text::parseHex(*content) : std::nullopt;
    };
    const auto classCode = hexFile("class");
    const auto vendor = hexFile("vendor");
    const auto device = hexFile("device");
    if (!classCode || !vendor || !device || *classCode > 0xFFFFFF || *vendor > 0xFFFF ||
        *device > 0xFFFF) {
        return std::nullopt;
    }
    PciDevice out;
    out.address = address;
    out.classCode = static_cast<std::uint32_t>(*classCode);
    out.vendor = static_cast<std::uint16_t>(*vendor);
    out.device = static_cast<std::uint16_t>(*device);
    if (const auto revision = hexFile("revision"); revision && *revision <= 0xFF) {
        out.revision = static_cast<std::uint8_t>(*revision);
    } else if (const auto config = files.read(dir + "/config", 64); config && config->size() > 8) {
        // Older kernels have no revision file; the byte sits at offset 8 of
        // the configuration space, whose first 64 bytes anyone may read.
        out.revision = static_cast<std::uint8_t>((*config)[8]);
    }
    if (const auto driver = files.readLink(dir + "/driver")) {
        out.driver = text::cleanText(baseName(*driver));
    }
    return out;
}

std::vector<PciDevice> listPciDevices(const FileTree& files) {
    std::vector<PciDevice> out;
    for (const auto& address : files.list("/sys/bus/pci/devices")) {
        if (auto device = readPciDevice(files, address)) {
            out.push_back(std::move(*device));
        }
    }
    return out;
}

}  // namespace tolvex::linuxprov
