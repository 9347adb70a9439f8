#include "wmi/linux/PciNames.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

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

// The start of the line holding pos.
std::size_t lineStart(std::string_view text, std::size_t pos) {
    if (pos == 0) {
        return 0;
    }
    // memrchr, not string_view::rfind, which steps back a byte at a time.
    const void* newline = ::memrchr(text.data(), '\n', pos);
    return newline ? static_cast<std::size_t>(static_cast<const char*>(newline) - text.data()) + 1
                   : 0;
}

// The vendor line nearest to pos that starts in [low, high), looking one
// line forward and one line back in turn: a probe into a vendor's long
// product list costs the distance to the nearer end of the list, not to its
// far end. No value when the range holds none.
std::optional<std::size_t> nearestVendorLine(std::string_view text, std::size_t pos,
                                             std::size_t low, std::size_t high) {
    std::size_t forward = pos == 0 ? 0 : text.find('\n', pos - 1);
    forward = forward == std::string_view::npos ? text.size() : forward + (pos == 0 ? 0 : 1);
    bool backward = forward > 0;
    std::size_t back = backward ? lineStart(text, forward - 1) : 0;
    for (;;) {
        bool moved = false;
        if (forward < high) {
            if (vendorIdAt(text, forward)) {
                return forward;
            }
            const std::size_t newline = text.find('\n', forward);
            forward = newline == std::string_view::npos ? text.size() : newline + 1;
            moved = true;
        }
        if (backward && back >= low) {
            if (vendorIdAt(text, back)) {
                return back;
            }
            backward = back > 0;
            back = backward ? lineStart(text, back - 1) : 0;
            moved = true;
        }
        if (!moved) {
            return std::nullopt;
        }
    }
}

// The vendor line of an ID by a lower-bound search over the byte positions,
// which holds for files whose vendor lines are in order; npos when the
// search finds none. Invariants: every vendor line before low has a smaller
// ID; no vendor line starts in [high, found), and found (npos: the end) is
// the first with an ID at least the one looked for.
std::size_t findVendorLine(std::string_view text, std::uint16_t vendor) {
    std::size_t low = 0;
    std::size_t high = text.size();
    std::size_t found = std::string_view::npos;
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        const auto line = nearestVendorLine(text, middle, low, high);
        if (!line) {
            break;
        }
        const bool atOrAfter = *vendorIdAt(text, *line) >= vendor;
        if (*line >= middle) {
            if (atOrAfter) {
                high = middle;
                found = *line;
            } else {
                low = *line + 1;
            }
        } else if (atOrAfter) {
            high = *line;
            found = *line;
        } else {
            low = middle;
        }
    }
    return found != std::string_view::npos && *vendorIdAt(text, found) == vendor
               ? found
               : std::string_view::npos;
}

// The line starting at pos, without its end of line.
std::string_view lineAt(std::string_view text, std::size_t pos) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) {
        end = text.size();
    }
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
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

namespace {

// The file mapped for this database. Each database maps its own: a mapping
// kept for the whole process would go stale, or fault past its end, when the
// file is rewritten while the process runs (a captured tree written again,
// an update of the ids).
std::shared_ptr<const IdDatabase::MappedFile> mapFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    std::shared_ptr<IdDatabase::MappedFile> file = std::make_shared<IdDatabase::MappedFile>();
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        const auto size = static_cast<std::size_t>(info.st_size);
        void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (data != MAP_FAILED) {
            file->data = static_cast<const char*>(data);
            file->size = size;
        }
    }
    ::close(fd);
    return file;
}

}  // namespace

std::string_view IdDatabase::text() {
    if (!m_opened) {
        m_opened = true;
        // The first candidate that opens is the one used, readable or not.
        for (const auto& candidate : m_candidates) {
            if (auto file = mapFile(candidate)) {
                m_file = std::move(file);
                break;
            }
        }
    }
    return m_file && m_file->data ? std::string_view(m_file->data, m_file->size)
                                  : std::string_view();
}

IdDatabase::Vendor& IdDatabase::load(std::uint16_t vendor) {
    if (const auto it = m_vendors.find(vendor); it != m_vendors.end()) {
        return it->second;
    }
    Vendor entry;
    const std::string_view file = text();
    std::size_t pos = findVendorLine(file, vendor);
    if (pos == std::string_view::npos && vendor != 0) {
        // Not found by the search: not listed, or the file is out of order;
        // look at every vendor line. Vendor 0 is never assigned (devices
        // report it as a subsystem vendor meaning none), so it is not
        // looked for.
        for (pos = vendorLineFrom(file, 0); pos != std::string_view::npos;
             pos = vendorLineFrom(file, pos + 1)) {
            if (*vendorIdAt(file, pos) == vendor) {
                break;
            }
        }
    }
    if (pos != std::string_view::npos) {
        entry.line = pos;
        if (const auto parsed = idLine(lineAt(file, pos), 0)) {
            entry.name = parsed->second;
        }
    }
    return m_vendors.emplace(vendor, std::move(entry)).first->second;
}

std::optional<std::string> IdDatabase::vendorName(std::uint16_t vendor) {
    return load(vendor).name;
}

// A vendor's products are looked for in its block only when asked for: the
// largest vendors list thousands of devices, of which a machine has a few.
std::optional<std::string> IdDatabase::productName(std::uint16_t vendor, std::uint16_t product) {
    Vendor& entry = load(vendor);
    if (!entry.name) {
        return std::nullopt;
    }
    if (const auto it = entry.products.find(product); it != entry.products.end()) {
        return it->second;
    }
    const std::string_view file = text();
    std::optional<std::string> name;
    std::size_t pos = file.find('\n', entry.line);
    while (pos != std::string_view::npos && ++pos < file.size()) {
        const char first = file[pos];
        if (first != '\t' && first != '#' && first != '\n' && first != '\r') {
            break;  // the next vendor's block begins
        }
        // "\tdddd  Name"; subsystem lines have two tabs.
        if (first == '\t' && vendorIdAt(file, pos + 1) == product) {
            if (const auto parsed = idLine(lineAt(file, pos), 1)) {
                name = parsed->second;
                break;
            }
        }
        pos = file.find('\n', pos);
    }
    entry.products.emplace(product, name);
    return name;
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

namespace {

PciBus readPciBus(const FileTree& files) {
    PciBus bus;
    const std::string base = "/sys/bus/pci/devices";
    const auto addresses = files.list(base);
    bus.listed = addresses.size();
    for (const auto& address : addresses) {
        if (auto device = readPciDevice(files, address)) {
            bus.classCodes.push_back(device->classCode);
            bus.devices.push_back(std::move(*device));
        } else if (const auto text = files.read(base + "/" + address + "/class", 64)) {
            // A class without readable IDs still tells the bus types.
            char* end = nullptr;
            const unsigned long code = std::strtoul(text->c_str(), &end, 16);
            if (end != text->c_str() && code <= 0xFFFFFFu) {
                bus.classCodes.push_back(static_cast<std::uint32_t>(code));
            }
        }
    }
    return bus;
}

}  // namespace

const PciBus& PciBusView::bus(const FileTree& files) const {
    std::call_once(m_read, [&] { m_bus = readPciBus(files); });
    return m_bus;
}

}  // namespace tolvex::linuxprov
