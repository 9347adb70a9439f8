#include "wmi/linux/PciNames.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "wmi/linux/SysText.h"

namespace tolvex::linuxprov {

namespace {

// "vvvv  Name" at the start of a line (or after one tab for a product).
std::optional<std::pair<std::uint16_t, std::string>> idLine(std::string_view line,
                                                            std::size_t start) {
    if (line.size() < start + 6 || line[start + 4] != ' ') {
        return std::nullopt;
    }
    const auto id = text::parseHex(line.substr(start, 4));
    if (!id) {
        return std::nullopt;
    }
    const std::string name = text::trimmed(line.substr(start + 4));
    if (name.empty()) {
        return std::nullopt;
    }
    return std::make_pair(static_cast<std::uint16_t>(*id), text::cleanText(name));
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The ID of a vendor line starting at pos: four hex digits and a space.
std::optional<std::uint16_t> vendorIdAt(std::string_view text, std::size_t pos) {
    if (text.size() - pos < 5 || text[pos + 4] != ' ') {
        return std::nullopt;
    }
    std::uint16_t id = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const char c = text[pos + i];
        if (!isHexDigit(c)) {
            return std::nullopt;
        }
        id = static_cast<std::uint16_t>(id * 16 + (c <= '9'   ? c - '0'
                                                   : c <= 'F' ? c - 'A' + 10
                                                              : c - 'a' + 10));
    }
    return id;
}

// The start of the first vendor line that begins at or after pos.
std::size_t vendorLineFrom(std::string_view text, std::size_t pos) {
    if (pos > 0) {
        pos = text.find('\n', pos - 1);
        if (pos == std::string_view::npos) {
            return pos;
        }
        ++pos;
    }
    while (pos < text.size()) {
        if (vendorIdAt(text, pos)) {
            return pos;
        }
        pos = text.find('\n', pos);
        if (pos == std::string_view::npos) {
            return pos;
        }
        ++pos;
    }
    return std::string_view::npos;
}

// The vendor line of an ID: a lower-bound search over the byte positions,
// then a line-by-line scan when the file is not in order.
std::size_t findVendorLine(std::string_view text, std::uint16_t vendor) {
    std::size_t low = 0;
    std::size_t high = text.size();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        const std::size_t line = vendorLineFrom(text, middle);
        if (line == std::string_view::npos || *vendorIdAt(text, line) >= vendor) {
            high = middle;
        } else {
            low = line + 1;
        }
    }
    std::size_t line = vendorLineFrom(text, low);
    if (line != std::string_view::npos && *vendorIdAt(text, line) == vendor) {
        return line;
    }
    for (line = vendorLineFrom(text, 0); line != std::string_view::npos;
         line = vendorLineFrom(text, line + 1)) {
        if (*vendorIdAt(text, line) == vendor) {
            return line;
        }
    }
    return std::string_view::npos;
}

}  // namespace

struct IdDatabase::MappedFile {
    const char* data = nullptr;
    std::size_t size = 0;
    ~MappedFile() {
        if (data) {
            ::munmap(const_cast<char*>(data), size);
        }
    }
};

IdDatabase::IdDatabase(std::vector<std::string> candidates) : m_candidates(std::move(candidates)) {}

std::string_view IdDatabase::text() {
    if (!m_opened) {
        m_opened = true;
        for (const auto& candidate : m_candidates) {
            const int fd = ::open(candidate.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) {
                continue;
            }
            struct stat info {};
            if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
                const auto size = static_cast<std::size_t>(info.st_size);
                void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
                if (data != MAP_FAILED) {
                    auto file = std::make_shared<MappedFile>();
                    file->data = static_cast<const char*>(data);
                    file->size = size;
                    m_file = std::move(file);
                }
            }
            ::close(fd);
            break;
        }
    }
    return m_file ? std::string_view(m_file->data, m_file->size) : std::string_view();
}

const IdDatabase::Vendor& IdDatabase::load(std::uint16_t vendor) {
    if (const auto it = m_vendors.find(vendor); it != m_vendors.end()) {
        return it->second;
    }
    Vendor entry;
    const std::string_view file = text();
    std::size_t pos = findVendorLine(file, vendor);
    bool first = true;
    while (pos < file.size()) {
        std::size_t end = file.find('\n', pos);
        if (end == std::string_view::npos) {
            end = file.size();
        }
        std::string_view line = file.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (first) {
            first = false;
            if (const auto parsed = idLine(line, 0)) {
                entry.name = parsed->second;
            }
            continue;
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        if (line[0] != '\t') {
            break;  // the next vendor's block begins
        }
        if (line.size() > 1 && line[1] != '\t') {
            if (const auto parsed = idLine(line, 1)) {
                entry.products.emplace(parsed->first, parsed->second);
            }
        }
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
