#include <algorithm>
#include <cstdio>
#include <set>
#include <sstream>

#include "wmi/StaticObject.h"
#include "wmi/WmiNames.h"
#include "wmi/linux/CpuInfo.h"
#include "wmi/linux/LinuxService.h"
#include "wmi/linux/ProcessorFacts.h"
#include "wmi/linux/ProviderValues.h"
#include "wmi/linux/Smbios.h"
#include "wmi/linux/Sources.h"

namespace tolvex::linuxprov {

namespace {

using cpu::CpuInfo;
using values::integerOrNull;
using values::textOrNull;

std::optional<std::uint32_t> kiloToMega(const std::optional<std::string>& khz) {
    if (!khz) {
        return std::nullopt;
    }
    const auto value = cpu::parseLeadingNumber(*khz);
    if (!value || *value == 0) {
        return std::nullopt;
    }
    return (*value + 500) / 1000;
}

struct PackageClocks {
    std::optional<std::uint32_t> currentMhz;
    std::optional<std::uint32_t> maxMhz;
};

// What cpufreq, readable by every user, says of a package's speeds: the
// highest maximum among its CPUs (the cores of a hybrid or big.LITTLE
// package reach different speeds) and the current speed of its first CPU
// that reports one. CPUs of one frequency policy link to the same policy
// directory, which is read once.
PackageClocks cpufreqClocks(const FileTree& files, const std::vector<int>& cpus) {
    PackageClocks clocks;
    std::set<std::string> policiesRead;
    for (const int cpu : cpus) {
        const std::string dir = "/sys/devices/system/cpu/cpu" + std::to_string(cpu) + "/cpufreq";
        if (const auto policy = files.readLink(dir);
            policy && !policiesRead.insert(*policy).second) {
            continue;
        }
        if (const auto maxMhz = kiloToMega(files.read(dir + "/cpuinfo_max_freq", 4096));
            maxMhz && (!clocks.maxMhz || *maxMhz > *clocks.maxMhz)) {
            clocks.maxMhz = maxMhz;
        }
        if (!clocks.currentMhz) {
            clocks.currentMhz = kiloToMega(files.read(dir + "/scaling_cur_freq", 4096));
        }
    }
    return clocks;
}

// Where the kernel's side of a property is read.
enum class From { CpuInfo, Uname, Clocks, Caches };

// What reading the kernel's sources of one package came to.
struct KernelSources {
    Source cpuinfo;
    Source uname;
    Source clocks;
    Source caches;

    const Source& of(From from) const {
        switch (from) {
            case From::Uname:
                return uname;
            case From::Clocks:
                return clocks;
            case From::Caches:
                return caches;
            case From::CpuInfo:
                break;
        }
        return cpuinfo;
    }
};

// What the kernel says of one package.
struct KernelPackage {
    KernelSources sources;
    KernelCpuView view;
    std::optional<std::string> name;
    std::optional<std::uint32_t> currentClockMhz;
    std::optional<std::uint32_t> maxClockMhz;
    std::optional<std::uint32_t> l2Kb;
    std::optional<std::uint32_t> l3Kb;
    std::optional<std::uint32_t> logicalProcessors;
    std::optional<std::uint32_t> cores;
};

// What the firmware says of one populated socket: its processor structure
// and the caches it points to.
struct FirmwareSocket {
    smbios::ProcessorInfo info;
    std::optional<smbios::CacheInfo> l2;
    std::optional<smbios::CacheInfo> l3;

    // The CPU's state from the status byte (1 enabled, 2 disabled by the
    // user, …), for populated sockets.
    std::optional<int> cpuStatus() const {
        return info.populated() ? std::optional<int>(info.status & 0x07) : std::nullopt;
    }
};

// Which source a property takes when both give it.
enum class Prefer { Kernel, Firmware };

// One property of the class: its name, how the kernel and the firmware give
// it, which of the two wins and where the kernel's value is read (a Null
// says why from there and from the firmware's table). A source without a
// reader gives Null. Adding a property is adding its row.
struct ProcessorProperty {
    const char* name;
    ManagementValue (*fromKernel)(const KernelPackage&);
    ManagementValue (*fromFirmware)(const FirmwareSocket&);
    Prefer prefer = Prefer::Kernel;
    From from = From::CpuInfo;
};

namespace p = wmi::prop;
using K = KernelPackage;
using F = FirmwareSocket;

ManagementValue text(const char* value) {
    return ManagementValue::text(value);
}

// In the class's property order. DeviceID and SystemName belong to the
// instance and are set when it is built.
const ProcessorProperty kProcessorProperties[] = {
    {p::AddressWidth, [](const K& k) { return integerOrNull(k.view.addressWidth); }, nullptr,
     Prefer::Kernel, From::Uname},
    {"Architecture", [](const K& k) { return integerOrNull(k.view.architecture); }, nullptr},
    {"AssetTag", nullptr, [](const F& f) { return textOrNull(f.info.assetTag); }},
    // Every CPU the kernel lists is online and working.
    {p::Availability, [](const K&) { return ManagementValue::integer(3); },
     [](const F& f) {
         return f.cpuStatus() == 1 ? ManagementValue::integer(3) : ManagementValue::null();
     }},
    {"Caption", [](const K& k) { return textOrNull(k.view.caption); }, nullptr},
    {"Characteristics", nullptr, [](const F& f) { return integerOrNull(f.info.characteristics); }},
    {"CpuStatus", [](const K&) { return ManagementValue::integer(1); },
     [](const F& f) { return integerOrNull(f.cpuStatus()); }, Prefer::Firmware},
    {"CreationClassName", [](const K&) { return text(wmi::cls::Processor); },
     [](const F&) { return text(wmi::cls::Processor); }},
    {p::CurrentClockSpeed, [](const K& k) { return integerOrNull(k.currentClockMhz); },
     [](const F& f) { return integerOrNull(f.info.currentSpeedMhz); }, Prefer::Kernel,
     From::Clocks},
    {p::CurrentVoltage, nullptr,
     [](const F& f) {
         return f.info.voltage ? integerOrNull(voltageTenths(*f.info.voltage))
                               : ManagementValue::null();
     }},
    {p::DataWidth, [](const K& k) { return integerOrNull(k.view.dataWidth); }, nullptr},
    {"Description", [](const K& k) { return textOrNull(k.view.caption); }, nullptr},
    {p::DeviceID, nullptr, nullptr},
    {p::ExtClock, nullptr, [](const F& f) { return integerOrNull(f.info.externalClockMhz); }},
    {"Family", nullptr, [](const F& f) { return integerOrNull(f.info.family); }},
    {p::L2CacheSize, [](const K& k) { return integerOrNull(k.l2Kb); },
     [](const F& f) { return f.l2 ? integerOrNull(f.l2->installedKb) : ManagementValue::null(); },
     Prefer::Kernel, From::Caches},
    // The cache's access time in ns as a clock in MHz.
    {p::L2CacheSpeed, nullptr,
     [](const F& f) {
         return f.l2 && f.l2->speedNs
                    ? ManagementValue::integer((1000u + *f.l2->speedNs / 2) / *f.l2->speedNs)
                    : ManagementValue::null();
     }},
    {"L3CacheSize", [](const K& k) { return integerOrNull(k.l3Kb); },
     [](const F& f) { return f.l3 ? integerOrNull(f.l3->installedKb) : ManagementValue::null(); },
     Prefer::Kernel, From::Caches},
    {p::Level, [](const K& k) { return integerOrNull(k.view.level); }, nullptr},
    {p::Manufacturer, [](const K& k) { return textOrNull(k.view.manufacturer); },
     [](const F& f) { return textOrNull(f.info.manufacturer); }},
    // The firmware's maximum is the processor's rated one; cpufreq's is what
    // the kernel may ask for.
    {p::MaxClockSpeed, [](const K& k) { return integerOrNull(k.maxClockMhz); },
     [](const F& f) { return integerOrNull(f.info.maxSpeedMhz); }, Prefer::Firmware, From::Clocks},
    {p::Name, [](const K& k) { return textOrNull(k.name); },
     [](const F& f) { return textOrNull(f.info.version); }},
    {"NumberOfCores", [](const K& k) { return integerOrNull(k.cores); },
     [](const F& f) { return integerOrNull(f.info.coreCount); }},
    {"NumberOfEnabledCore", nullptr, [](const F& f) { return integerOrNull(f.info.coresEnabled); }},
    {"NumberOfLogicalProcessors", [](const K& k) { return integerOrNull(k.logicalProcessors); },
     nullptr},
    {p::PartNumber, nullptr, [](const F& f) { return textOrNull(f.info.partNumber); }},
    {p::ProcessorId, [](const K& k) { return textOrNull(k.view.processorId); },
     [](const F& f) {
         return f.info.id ? ManagementValue::text(processorIdText(*f.info.id))
                          : ManagementValue::null();
     },
     Prefer::Firmware},
    // The kernel runs on it: a central processor.
    {"ProcessorType", [](const K&) { return ManagementValue::integer(3); },
     [](const F& f) { return integerOrNull(f.info.processorType); }, Prefer::Firmware},
    {p::Revision, [](const K& k) { return integerOrNull(k.view.revision); }, nullptr},
    {"Role", [](const K&) { return text("CPU"); }, [](const F&) { return text("CPU"); }},
    {p::SerialNumber, nullptr, [](const F& f) { return textOrNull(f.info.serialNumber); }},
    {"SocketDesignation", nullptr, [](const F& f) { return textOrNull(f.info.socket); }},
    {p::Status, [](const K&) { return text("OK"); },
     [](const F& f) { return f.cpuStatus() == 1 ? text("OK") : ManagementValue::null(); }},
    {"Stepping", [](const K& k) { return textOrNull(k.view.stepping); }, nullptr},
    {"SystemCreationClassName", [](const K&) { return text("Win32_ComputerSystem"); },
     [](const F&) { return text("Win32_ComputerSystem"); }},
    {"SystemName", nullptr, nullptr},
    {"ThreadCount", nullptr, [](const F& f) { return integerOrNull(f.info.threadCount); }},
    {"UpgradeMethod", nullptr, [](const F& f) { return integerOrNull(f.info.upgrade); }},
    {p::Version, [](const K& k) { return textOrNull(k.view.version); }, nullptr},
    {"VoltageCaps", nullptr,
     [](const F& f) {
         return f.info.voltage ? integerOrNull(voltageCaps(*f.info.voltage))
                               : ManagementValue::null();
     }},
};

FirmwareSocket firmwareSocket(const smbios::ProcessorInfo& info, const smbios::Table& table) {
    FirmwareSocket socket{info, std::nullopt, std::nullopt};
    const auto cacheOf =
        [&](std::optional<std::uint16_t> handle) -> std::optional<smbios::CacheInfo> {
        if (!handle) {
            return std::nullopt;
        }
        const auto* s = table.byHandle(*handle);
        if (!s || s->type != 7) {
            return std::nullopt;
        }
        return smbios::decodeCache(*s);
    };
    socket.l2 = cacheOf(info.l2Handle);
    socket.l3 = cacheOf(info.l3Handle);
    return socket;
}

// What the kernel says of one package.
KernelPackage kernelPackage(const FileTree& files, const CpuInfo& info, const cpu::Package& package,
                            const cpu::CacheTable& caches, const std::optional<UnameInfo>& uname,
                            const Source& cpuinfo, const Source& unameSource) {
    const CpuInfo::Logical empty;
    const CpuInfo::Logical& first = package.first ? *package.first : empty;
    const auto field = [&](const char* key) { return info.field(first, key); };
    KernelPackage k;
    const std::string cpuDir = "/sys/devices/system/cpu/cpu" +
                               std::to_string(package.cpus.empty() ? 0 : package.cpus.front());
    k.view = describeCpu(field, uname ? std::optional(uname->machine) : std::nullopt);
    k.name = k.view.name;

    // A package with several kinds of core (big.LITTLE) is named after all
    // of them.
    if (!k.name) {
        std::vector<std::string> parts;
        for (const auto& logical : info.cpus) {
            if (std::find(package.cpus.begin(), package.cpus.end(), logical.number) ==
                package.cpus.end()) {
                continue;
            }
            const auto part = armCoreName(info.field(logical, "cpu implementer"),
                                          info.field(logical, "cpu part"));
            if (part && std::find(parts.begin(), parts.end(), *part) == parts.end()) {
                parts.push_back(*part);
            }
        }
        if (!parts.empty()) {
            std::string joined;
            for (const auto& part : parts) {
                joined += (joined.empty() ? "" : " + ") + part;
            }
            k.name = joined;
        } else if (k.view.armArchitecture) {
            k.name = "ARMv" + std::to_string(*k.view.armArchitecture) + " Processor";
        }
    }

    // Speeds from cpufreq; without it, the current speed cpuinfo shows.
    const PackageClocks clocks = cpufreqClocks(files, package.cpus);
    k.currentClockMhz = clocks.currentMhz ? clocks.currentMhz : k.view.clockMhz;
    k.maxClockMhz = clocks.maxMhz;
    k.l2Kb = caches.totalKb(package.cpus, 2);
    k.l3Kb = caches.totalKb(package.cpus, 3);
    k.sources = {cpuinfo, unameSource,
                 fileSource(files, cpuDir + "/cpufreq/cpuinfo_max_freq", "the processor's speeds"),
                 fileSource(files, cpuDir + "/cache", "the processor's caches")};

    if (!package.cpus.empty() && package.first) {
        k.logicalProcessors = static_cast<std::uint32_t>(package.cpus.size());
    } else if (const auto active = field("ncpus active")) {
        k.logicalProcessors = cpu::parseLeadingNumber(*active);
    }
    if (package.cores) {
        k.cores = static_cast<std::uint32_t>(*package.cores);
    } else if (const auto cores = field("cpu cores")) {
        k.cores = cpu::parseLeadingNumber(*cores);
    }
    return k;
}

// One processor from what the kernel and the firmware say of it (either may
// be missing), each property from the source its row prefers.
ObjectPtr buildInstance(const ProviderContext& context, int index, const KernelPackage* kernel,
                        const FirmwareSocket* firmware, const KernelSources& noKernel,
                        const Source& table) {
    const std::string deviceId = "CPU" + std::to_string(index);
    const KernelSources& sources = kernel ? kernel->sources : noKernel;
    std::vector<Described> props;
    props.reserve(std::size(kProcessorProperties));
    for (const auto& row : kProcessorProperties) {
        const std::string name = row.name;
        if (name == p::DeviceID) {
            props.push_back({name, ManagementValue::text(deviceId)});
            continue;
        }
        if (name == "SystemName") {
            props.push_back({name, ManagementValue::text(context.host)});
            continue;
        }
        const ManagementValue fromKernel =
            kernel && row.fromKernel ? row.fromKernel(*kernel) : ManagementValue::null();
        const ManagementValue fromFirmware =
            firmware && row.fromFirmware ? row.fromFirmware(*firmware) : ManagementValue::null();
        const bool firmwareFirst = row.prefer == Prefer::Firmware;
        const ManagementValue& preferred = firmwareFirst ? fromFirmware : fromKernel;
        Source from;
        if (row.fromKernel && row.fromFirmware) {
            from = either({sources.of(row.from), table});
        } else if (row.fromKernel) {
            from = sources.of(row.from);
        } else if (row.fromFirmware) {
            from = table;
        }
        props.push_back(
            {name, preferred.isNull() ? (firmwareFirst ? fromKernel : fromFirmware) : preferred,
             std::move(from)});
    }
    return describedObject(wmi::cls::Processor,
                           instancePath(context, wmi::cls::Processor, p::DeviceID, deviceId),
                           std::move(props));
}

}  // namespace

std::vector<ObjectPtr> enumerateProcessors(const ProviderContext& context) {
    const auto cpuinfoText = context.files.read("/proc/cpuinfo");
    const CpuInfo info = cpu::parseCpuInfo(cpuinfoText.value_or(""));
    const smbios::Table& table = context.smbios->table(context.files);
    std::vector<smbios::ProcessorInfo> sockets;
    for (const auto* s : table.ofType(4)) {
        const auto decoded = smbios::decodeProcessor(*s);
        if (decoded.populated()) {
            sockets.push_back(decoded);
        }
    }

    std::vector<cpu::Package> packages;
    if (!info.cpus.empty() || !info.machine.empty() ||
        context.files.isDirectory("/sys/devices/system/cpu")) {
        packages = cpu::groupPackages(context.files, info);
    }
    // Machines whose cpuinfo names the processor without listing its CPUs
    // (SPARC) still have one.
    if (packages.empty() && !info.machine.empty()) {
        packages.push_back(cpu::Package{});
    }

    const auto uname = context.sys.uname();
    const Source cpuinfo = fileSource(context.files, "/proc/cpuinfo", "the processor list");
    const Source unameSource =
        uname ? answeredSource("uname") : Source{NullReason::Kind::NotProvided, "uname", {}};
    const KernelSources noKernel{cpuinfo, unameSource, cpuinfo, cpuinfo};
    std::vector<ObjectPtr> out;
    std::vector<FirmwareSocket> firmware;
    for (const auto& socket : sockets) {
        firmware.push_back(firmwareSocket(socket, table));
    }
    if (packages.empty()) {
        // Nothing from the kernel: the firmware's populated sockets.
        for (std::size_t k = 0; k < firmware.size(); ++k) {
            out.push_back(buildInstance(context, static_cast<int>(k), nullptr, &firmware[k],
                                        noKernel, table.source));
        }
        return out;
    }
    // Every CPU's caches are read once, for all packages together.
    std::vector<int> allCpus;
    for (const auto& package : packages) {
        allCpus.insert(allCpus.end(), package.cpus.begin(), package.cpus.end());
    }
    const cpu::CacheTable caches(context.files, allCpus);
    for (std::size_t k = 0; k < packages.size(); ++k) {
        const KernelPackage kernel =
            kernelPackage(context.files, info, packages[k], caches, uname, cpuinfo, unameSource);
        out.push_back(buildInstance(context, static_cast<int>(k), &kernel,
                                    k < firmware.size() ? &firmware[k] : nullptr, noKernel,
                                    table.source));
    }
    return out;
}

}  // namespace tolvex::linuxprov
