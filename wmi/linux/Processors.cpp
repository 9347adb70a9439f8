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

// What one package shows, gathered from every source before the instance is
// built.
struct ProcessorFactsSet {
    std::optional<std::string> name;
    std::optional<std::string> manufacturer;
    std::optional<int> processorType;
    std::optional<int> architecture;
    std::optional<int> family;
    std::optional<int> addressWidth;
    std::optional<int> dataWidth;
    std::optional<std::uint32_t> l2Kb;
    std::optional<std::uint32_t> l2SpeedMhz;
    std::optional<std::uint32_t> l3Kb;
    std::optional<int> voltageTenths;
    std::optional<int> voltageCaps;
    std::optional<std::uint32_t> extClockMhz;
    std::optional<std::uint32_t> currentClockMhz;
    std::optional<std::uint32_t> maxClockMhz;
    std::optional<int> level;
    std::optional<std::string> status;
    std::optional<int> cpuStatus;
    std::optional<int> availability;
    std::optional<std::string> processorId;
    std::optional<std::string> version;
    std::optional<int> revision;
    std::optional<std::string> caption;
    std::optional<std::string> stepping;
    std::optional<std::uint32_t> cores;
    std::optional<std::uint32_t> coresEnabled;
    std::optional<std::uint32_t> logicalProcessors;
    std::optional<std::uint32_t> threadCount;
    std::optional<std::string> socket;
    std::optional<int> upgradeMethod;
    std::optional<int> characteristics;
    std::optional<std::string> serialNumber;
    std::optional<std::string> partNumber;
    std::optional<std::string> assetTag;
};

// Fills in what the firmware's processor structure says, where the kernel
// has not said it already.
void applySmbios(ProcessorFactsSet& f, const smbios::ProcessorInfo& p, const smbios::Table& table) {
    const auto keep = [](auto& field, const auto& value) {
        if (!field && value) {
            field = *value;
        }
    };
    keep(f.name, p.version);
    keep(f.manufacturer, p.manufacturer);
    if (p.processorType) {
        f.processorType = *p.processorType;
    }
    if (p.family) {
        f.family = *p.family;
    }
    if (p.id) {
        f.processorId = processorIdText(*p.id);
    }
    if (p.voltage) {
        f.voltageTenths = voltageTenths(*p.voltage);
        f.voltageCaps = voltageCaps(*p.voltage);
    }
    keep(f.extClockMhz, p.externalClockMhz);
    if (p.maxSpeedMhz) {
        f.maxClockMhz = *p.maxSpeedMhz;
    }
    keep(f.currentClockMhz, p.currentSpeedMhz);
    if (p.populated()) {
        f.cpuStatus = p.status & 0x07;
    }
    f.socket = p.socket;
    if (p.upgrade) {
        f.upgradeMethod = *p.upgrade;
    }
    if (p.characteristics) {
        f.characteristics = *p.characteristics;
    }
    keep(f.cores, p.coreCount);
    keep(f.coresEnabled, p.coresEnabled);
    keep(f.threadCount, p.threadCount);
    f.serialNumber = p.serialNumber;
    f.partNumber = p.partNumber;
    f.assetTag = p.assetTag;
    const auto cacheOf = [&](std::optional<std::uint16_t> handle) -> const smbios::Structure* {
        if (!handle) {
            return nullptr;
        }
        const auto* s = table.byHandle(*handle);
        return s && s->type == 7 ? s : nullptr;
    };
    if (const auto* l2 = cacheOf(p.l2Handle)) {
        const auto cache = smbios::decodeCache(*l2);
        keep(f.l2Kb, cache.installedKb);
        if (cache.speedNs) {
            f.l2SpeedMhz = (1000u + *cache.speedNs / 2) / *cache.speedNs;
        }
    }
    if (const auto* l3 = cacheOf(p.l3Handle)) {
        keep(f.l3Kb, smbios::decodeCache(*l3).installedKb);
    }
}

// What the kernel says of one package.
void applyKernel(ProcessorFactsSet& f, const FileTree& files, const CpuInfo& info,
                 const cpu::Package& package, const cpu::CacheTable& caches,
                 const std::optional<UnameInfo>& uname) {
    const CpuInfo::Logical empty;
    const CpuInfo::Logical& first = package.first ? *package.first : empty;
    const auto field = [&](const char* key) { return info.field(first, key); };
    const KernelCpuView view =
        describeCpu(field, uname ? std::optional(uname->machine) : std::nullopt);

    f.name = view.name;
    f.manufacturer = view.manufacturer;
    f.processorType = 3;  // the kernel runs on it: a central processor
    f.architecture = view.architecture;
    f.dataWidth = view.dataWidth;
    f.addressWidth = view.addressWidth;
    f.level = view.level;
    f.revision = view.revision;
    f.version = view.version;
    f.caption = view.caption;
    f.stepping = view.stepping;
    f.processorId = view.processorId;

    // A package with several kinds of core (big.LITTLE) is named after all
    // of them.
    if (!view.name) {
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
            f.name = joined;
        } else if (view.armArchitecture) {
            f.name = "ARMv" + std::to_string(*view.armArchitecture) + " Processor";
        }
    }

    // Speeds from cpufreq; without it, the current speed cpuinfo shows. The
    // firmware's maximum replaces cpufreq's where the table is readable.
    const PackageClocks clocks = cpufreqClocks(files, package.cpus);
    f.currentClockMhz = clocks.currentMhz ? clocks.currentMhz : view.clockMhz;
    f.maxClockMhz = clocks.maxMhz;
    f.l2Kb = caches.totalKb(package.cpus, 2);
    f.l3Kb = caches.totalKb(package.cpus, 3);

    if (!package.cpus.empty() && package.first) {
        f.logicalProcessors = static_cast<std::uint32_t>(package.cpus.size());
    } else if (const auto active = field("ncpus active")) {
        f.logicalProcessors = cpu::parseLeadingNumber(*active);
    }
    if (package.cores) {
        f.cores = static_cast<std::uint32_t>(*package.cores);
    } else if (const auto cores = field("cpu cores")) {
        f.cores = cpu::parseLeadingNumber(*cores);
    }
    // Every CPU the kernel lists is online and working.
    f.cpuStatus = 1;
    f.availability = 3;
    f.status = "OK";
}

ObjectPtr buildInstance(const ProviderContext& context, int index, const ProcessorFactsSet& f) {
    namespace p = wmi::prop;
    const std::string deviceId = "CPU" + std::to_string(index);
    const auto i = [](const auto& v) { return integerOrNull(v); };
    std::vector<StaticObject::Property> props = {
        {p::AddressWidth, i(f.addressWidth)},
        {"Architecture", i(f.architecture)},
        {"AssetTag", textOrNull(f.assetTag)},
        {p::Availability, i(f.availability)},
        {"Caption", textOrNull(f.caption)},
        {"Characteristics", i(f.characteristics)},
        {"CpuStatus", i(f.cpuStatus)},
        {"CreationClassName", ManagementValue::text(wmi::cls::Processor)},
        {p::CurrentClockSpeed, i(f.currentClockMhz)},
        {p::CurrentVoltage, i(f.voltageTenths)},
        {p::DataWidth, i(f.dataWidth)},
        {"Description", textOrNull(f.caption)},
        {p::DeviceID, ManagementValue::text(deviceId)},
        {p::ExtClock, i(f.extClockMhz)},
        {"Family", i(f.family)},
        {p::L2CacheSize, i(f.l2Kb)},
        {p::L2CacheSpeed, i(f.l2SpeedMhz)},
        {"L3CacheSize", i(f.l3Kb)},
        {p::Level, i(f.level)},
        {p::Manufacturer, textOrNull(f.manufacturer)},
        {p::MaxClockSpeed, i(f.maxClockMhz)},
        {p::Name, textOrNull(f.name)},
        {"NumberOfCores", i(f.cores)},
        {"NumberOfEnabledCore", i(f.coresEnabled)},
        {"NumberOfLogicalProcessors", i(f.logicalProcessors)},
        {p::PartNumber, textOrNull(f.partNumber)},
        {p::ProcessorId, textOrNull(f.processorId)},
        {"ProcessorType", i(f.processorType)},
        {p::Revision, i(f.revision)},
        {"Role", ManagementValue::text("CPU")},
        {p::SerialNumber, textOrNull(f.serialNumber)},
        {"SocketDesignation", textOrNull(f.socket)},
        {p::Status, textOrNull(f.status)},
        {"Stepping", textOrNull(f.stepping)},
        {"SystemCreationClassName", ManagementValue::text("Win32_ComputerSystem")},
        {"SystemName", ManagementValue::text(context.host)},
        {"ThreadCount", i(f.threadCount)},
        {"UpgradeMethod", i(f.upgradeMethod)},
        {p::Version, textOrNull(f.version)},
        {"VoltageCaps", i(f.voltageCaps)},
    };
    return std::make_shared<StaticObject>(
        wmi::cls::Processor, instancePath(context, wmi::cls::Processor, p::DeviceID, deviceId),
        std::move(props));
}

}  // namespace

std::vector<ObjectPtr> enumerateProcessors(const ProviderContext& context) {
    const auto cpuinfoText = context.files.read("/proc/cpuinfo");
    const CpuInfo info = cpu::parseCpuInfo(cpuinfoText.value_or(""));
    const smbios::Table table = smbios::readTable(context.files);
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
    std::vector<ObjectPtr> out;
    if (packages.empty()) {
        // Nothing from the kernel: the firmware's populated sockets.
        for (std::size_t k = 0; k < sockets.size(); ++k) {
            ProcessorFactsSet f;
            applySmbios(f, sockets[k], table);
            if (f.cpuStatus) {
                f.availability = *f.cpuStatus == 1 ? std::optional<int>(3) : std::nullopt;
                f.status = *f.cpuStatus == 1 ? std::optional<std::string>("OK") : std::nullopt;
            }
            out.push_back(buildInstance(context, static_cast<int>(k), f));
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
        ProcessorFactsSet f;
        applyKernel(f, context.files, info, packages[k], caches, uname);
        if (k < sockets.size()) {
            applySmbios(f, sockets[k], table);
        }
        out.push_back(buildInstance(context, static_cast<int>(k), f));
    }
    return out;
}

}  // namespace tolvex::linuxprov
