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

}  // namespace

std::vector<ObjectPtr> enumerateOperatingSystems(const ProviderContext& context) {
    const auto release = readOsRelease(context.files);
    const auto uname = context.sys.uname();
    const auto kernel =
        uname ? std::optional<KernelBuild>(parseKernelVersion(uname->version)) : std::nullopt;

    // Memory totals in KB, with the meanings the service gives them.
    const auto meminfo = readMeminfoKb(context.files);
    const auto kb = [&](const char* key) -> std::optional<std::uint64_t> {
        const auto it = meminfo.find(key);
        return it == meminfo.end() ? std::nullopt : std::optional<std::uint64_t>(it->second);
    };
    const auto total = kb("MemTotal");
    std::optional<std::uint64_t> available = kb("MemAvailable");
    if (!available && kb("MemFree")) {
        // Kernels before 3.14 give no estimate; free memory plus the page
        // cache and buffers, which the kernel gives up on demand, is the
        // figure programs can count on there.
        available = *kb("MemFree") + kb("Buffers").value_or(0) + kb("Cached").value_or(0);
    }
    std::optional<std::uint64_t> swapSize;
    std::optional<std::uint64_t> swapFree;
    if (const auto swaps = readSwaps(context.files)) {
        swapSize = swaps->sizeKb;
        swapFree = swaps->sizeKb >= swaps->usedKb ? swaps->sizeKb - swaps->usedKb : 0;
    } else {
        swapSize = kb("SwapTotal");
        swapFree = kb("SwapFree");
    }
    const auto sum = [](std::optional<std::uint64_t> a, std::optional<std::uint64_t> b) {
        return a && b ? std::optional<std::uint64_t>(*a + *b) : std::nullopt;
    };

    const auto boot = bootTime(context.files);
    std::optional<std::string> lastBoot;
    if (boot) {
        lastBoot = managementDateTime(*boot, context.sys.utcOffsetMinutes(*boot));
    }

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
        {prop::TotalVisibleMemorySize, countOrNull(total), meminfoSource},
        {prop::FreePhysicalMemory, countOrNull(available), meminfoSource},
        {prop::TotalVirtualMemorySize, countOrNull(sum(total, swapSize)),
         either({meminfoSource, swapSource})},
        {prop::FreeVirtualMemory, countOrNull(sum(available, swapFree)),
         either({meminfoSource, swapSource})},
        {prop::SizeStoredInPagingFiles, countOrNull(swapSize), swapSource},
        {prop::FreeSpaceInPagingFiles, countOrNull(swapFree), swapSource},
    };
    // The running system is the one instance; its key is its caption, as the
    // service keys this class by name.
    const std::string key = caption.isNull() ? std::string("Linux") : caption.asText();
    return {describedObject(wmi::cls::OperatingSystem,
                            instancePath(context, wmi::cls::OperatingSystem, prop::Name, key),
                            std::move(properties))};
}

}  // namespace tolvex::linuxprov
