#include <cstdint>
#include <ctime>
#include <map>

#include "wmi/StaticObject.h"
#include "wmi/WmiNames.h"
#include "wmi/linux/LinuxService.h"
#include "wmi/linux/Mounts.h"
#include "wmi/linux/OsFacts.h"
#include "wmi/linux/Sources.h"
#include "wmi/linux/SysText.h"

namespace tolvex::linuxprov {

namespace {

namespace prop = wmi::prop;
using text::countOrNull;
using text::textOrNull;

std::map<std::string, std::uint64_t> readMeminfoKb(const FileTree& files) {
    std::map<std::string, std::uint64_t> out;
    const auto content = files.read("/proc/meminfo", 1u << 20);
    if (!content) {
        return out;
    }
    for (const std::string_view line : text::splitLines(*content)) {
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        std::string value = text::trimmed(line.substr(colon + 1));
        if (value.size() > 2 && value.compare(value.size() - 2, 2, "kB") == 0) {
            value.resize(value.size() - 2);
        }
        if (const auto number = text::parseUnsigned(value)) {
            out[std::string(line.substr(0, colon))] = *number;
        }
    }
    return out;
}

struct SwapTotals {
    std::uint64_t sizeKb = 0;
    std::uint64_t usedKb = 0;
};

// The sum over /proc/swaps (sizes in KB); no value when the file is missing
// or holds a line that does not parse.
std::optional<SwapTotals> readSwaps(const FileTree& files) {
    const auto content = files.read("/proc/swaps", 1u << 20);
    if (!content) {
        return std::nullopt;
    }
    SwapTotals totals;
    const auto lines = text::splitLines(*content);
    for (std::size_t n = 1; n < lines.size(); ++n) {  // past the heading
        const std::string line(lines[n]);
        if (text::trimmed(line).empty()) {
            continue;
        }
        // Filename Type Size Used Priority: the numbers are the last three
        // fields (a file name may contain blanks, escaped as \040).
        std::vector<std::string> fields;
        std::size_t pos = 0;
        while (pos < line.size()) {
            const auto first = line.find_first_not_of(" \t", pos);
            if (first == std::string::npos) {
                break;
            }
            const auto last = line.find_first_of(" \t", first);
            fields.push_back(line.substr(first, last - first));
            pos = last;
        }
        if (fields.size() < 5) {
            return std::nullopt;
        }
        const auto size = text::parseUnsigned(fields[fields.size() - 3]);
        const auto used = text::parseUnsigned(fields[fields.size() - 2]);
        if (!size || !used) {
            return std::nullopt;
        }
        totals.sizeKb += *size;
        totals.usedKb += *used;
    }
    return totals;
}

// Memory totals in KB, with the meanings the service gives them.
struct MemoryKb {
    std::optional<std::uint64_t> total;
    std::optional<std::uint64_t> available;
    std::optional<std::uint64_t> swapSize;
    std::optional<std::uint64_t> swapFree;
};

MemoryKb memoryKb(const FileTree& files) {
    const auto meminfo = readMeminfoKb(files);
    const auto kb = [&](const char* key) -> std::optional<std::uint64_t> {
        const auto it = meminfo.find(key);
        return it == meminfo.end() ? std::nullopt : std::optional<std::uint64_t>(it->second);
    };
    MemoryKb out{kb("MemTotal"), kb("MemAvailable"), std::nullopt, std::nullopt};
    if (!out.available && kb("MemFree")) {
        // Kernels before 3.14 give no estimate; free memory plus the page
        // cache and buffers, which the kernel gives up on demand, is the
        // figure programs can count on there.
        out.available = *kb("MemFree") + kb("Buffers").value_or(0) + kb("Cached").value_or(0);
    }
    if (const auto swaps = readSwaps(files)) {
        out.swapSize = swaps->sizeKb;
        out.swapFree = swaps->sizeKb >= swaps->usedKb ? swaps->sizeKb - swaps->usedKb : 0;
    } else {
        out.swapSize = kb("SwapTotal");
        out.swapFree = kb("SwapFree");
    }
    return out;
}

// The memory and paging properties: physical memory, and virtual memory as
// physical memory and the swap areas together.
std::vector<Described> memoryProperties(const MemoryKb& memory, const Source& meminfo,
                                        const Source& swap) {
    const auto sum = [](std::optional<std::uint64_t> a, std::optional<std::uint64_t> b) {
        return a && b ? std::optional<std::uint64_t>(*a + *b) : std::nullopt;
    };
    return {
        {prop::TotalVisibleMemorySize, countOrNull(memory.total), meminfo},
        {prop::FreePhysicalMemory, countOrNull(memory.available), meminfo},
        {prop::TotalVirtualMemorySize, countOrNull(sum(memory.total, memory.swapSize)),
         either({meminfo, swap})},
        {prop::FreeVirtualMemory, countOrNull(sum(memory.available, memory.swapFree)),
         either({meminfo, swap})},
        {prop::SizeStoredInPagingFiles, countOrNull(memory.swapSize), swap},
        {prop::FreeSpaceInPagingFiles, countOrNull(memory.swapFree), swap},
    };
}

std::optional<std::string> lastBootUpTime(const ProviderContext& context) {
    const auto boot = bootTime(context.files);
    if (!boot) {
        return std::nullopt;
    }
    return managementDateTime(*boot, context.sys.utcOffsetMinutes(*boot));
}

}  // namespace

std::vector<ObjectPtr> enumerateOperatingSystems(const ProviderContext& context) {
    const auto release = readOsRelease(context.files);
    const auto uname = context.sys.uname();
    const auto kernel =
        uname ? std::optional<KernelBuild>(parseKernelVersion(uname->version)) : std::nullopt;
    const MemoryKb memory = memoryKb(context.files);
    const auto lastBoot = lastBootUpTime(context);
    const auto users = countUserSessions(context.files);
    const auto machineId = context.files.read("/etc/machine-id", 256);

    // Where each value is read, for the reason of a Null.
    const auto file = [&](const char* path) {
        return fileSource(context.files, path, "the system's records");
    };
    const Source osRelease = either({file("/etc/os-release"), file("/usr/lib/os-release")});
    const Source unameSource =
        uname ? answeredSource("uname") : Source{NullReason::Kind::NotProvided, "uname", {}};
    const Source meminfoSource = file("/proc/meminfo");
    const Source swapSource = either({file("/proc/swaps"), meminfoSource});
    const Source mountTable = either({file("/proc/self/mountinfo"), file("/proc/mounts")});

    const ManagementValue caption = textOrNull(osCaption(release));
    std::vector<Described> properties = {
        {prop::Name, caption, osRelease},
        {prop::Caption, caption, osRelease},
        {prop::Manufacturer, textOrNull(osValue(release, "VENDOR_NAME")), osRelease},
        {prop::SerialNumber, textOrNull(machineId), file("/etc/machine-id")},
        {prop::Version,
         textOrNull(uname ? std::optional<std::string>(uname->release) : std::nullopt),
         unameSource},
        {prop::BuildNumber, textOrNull(kernel ? kernel->buildNumber : std::nullopt), unameSource},
        {prop::BuildType, textOrNull(kernel ? kernel->buildType : std::nullopt), unameSource},
        {prop::CSDVersion, ManagementValue::null()},
        {prop::ServicePackMajorVersion, ManagementValue::integer(0)},
        {prop::ServicePackMinorVersion, ManagementValue::integer(0)},
        {prop::BootDevice, textOrNull(bootDevice(readMountTable(context.files))), mountTable},
        {prop::WindowsDirectory, ManagementValue::null()},
        {prop::SystemDirectory, ManagementValue::null()},
        {prop::CSName, ManagementValue::text(text::cleanText(context.host))},
        {prop::LastBootUpTime, textOrNull(lastBoot), file("/proc/stat")},
        {prop::NumberOfLicensedUsers, ManagementValue::null()},
        {prop::NumberOfUsers,
         users ? ManagementValue::integer(static_cast<std::int64_t>(*users))
               : ManagementValue::null(),
         either({file("/run/utmp"), file("/var/run/utmp")})},
    };
    for (auto& property : memoryProperties(memory, meminfoSource, swapSource)) {
        properties.push_back(std::move(property));
    }
    // The running system is the one instance; its key is its caption, as the
    // service keys this class by name.
    const std::string key = caption.isNull() ? std::string("Linux") : caption.asText();
    return {describedObject(wmi::cls::OperatingSystem,
                            instancePath(context, wmi::cls::OperatingSystem, prop::Name, key),
                            std::move(properties))};
}

}  // namespace tolvex::linuxprov
