#include "wmi/linux/CpuInfo.h"

#include "wmi/linux/SysText.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace tolvex::linuxprov::cpu {

namespace {

std::string_view trimView(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

std::optional<int> smallNumber(std::string_view text) {
    text = trimView(text);
    if (text.empty() || text.size() > 9) {
        return std::nullopt;
    }
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

std::string cpuPath(int cpu, std::string_view rest) {
    return "/sys/devices/system/cpu/cpu" + std::to_string(cpu) + "/" + std::string(rest);
}

std::optional<std::string> readTrimmed(const FileTree& files, const std::string& path) {
    const auto content = files.read(path, 65536);
    if (!content) {
        return std::nullopt;
    }
    return std::string(trimView(*content));
}

}  // namespace

std::optional<std::string> CpuInfo::field(const Logical& cpu, const std::string& key) const {
    if (const auto it = cpu.fields.find(key); it != cpu.fields.end()) {
        return it->second;
    }
    if (const auto it = machine.find(key); it != machine.end()) {
        return it->second;
    }
    return std::nullopt;
}

CpuInfo parseCpuInfo(std::string_view text) {
    CpuInfo info;
    std::map<std::string, std::string> record;
    const auto flush = [&] {
        if (record.empty()) {
            return;
        }
        const auto it = record.find("processor");
        const auto number = it == record.end() ? std::nullopt : smallNumber(it->second);
        if (number) {
            info.cpus.push_back({*number, std::move(record)});
        } else {
            // Older ARM kernels name the processor in a machine-wide
            // "Processor" line ("ARMv7 Processor rev 4 (v7l)").
            if (it != record.end() && !record.count("model name")) {
                record.emplace("model name", it->second);
                record.erase("processor");
            }
            for (auto& [key, value] : record) {
                info.machine.emplace(key, value);  // the first value of a key wins
            }
        }
        record.clear();
    };
    std::size_t start = 0;
    while (start <= text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (trimView(line).empty()) {
            flush();
            if (end == text.size()) {
                break;
            }
            continue;
        }
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        std::string key = lower(trimView(line.substr(0, colon)));
        if (key.empty()) {
            continue;
        }
        // A second "processor" line inside one record starts the next CPU
        // (kernels that print no blank line between CPUs).
        if (key == "processor" && record.count("processor") &&
            smallNumber(line.substr(colon + 1))) {
            flush();
        }
        // Values reach the screen: bytes that are not UTF-8 and control
        // characters are made harmless here, once.
        record.emplace(std::move(key), text::cleanText(trimView(line.substr(colon + 1))));
        if (end == text.size()) {
            break;
        }
    }
    flush();
    return info;
}

std::set<int> parseCpuList(std::string_view text) {
    std::set<int> out;
    text = trimView(text);
    std::size_t start = 0;
    while (start < text.size()) {
        auto comma = text.find(',', start);
        if (comma == std::string_view::npos) {
            comma = text.size();
        }
        const std::string_view part = text.substr(start, comma - start);
        start = comma + 1;
        const auto dash = part.find('-');
        const auto low = smallNumber(part.substr(0, dash));
        const auto high = dash == std::string_view::npos ? low : smallNumber(part.substr(dash + 1));
        if (!low || !high || *high < *low || *high - *low > 65536) {
            return {};
        }
        for (int n = *low; n <= *high; ++n) {
            out.insert(n);
        }
    }
    return out;
}

std::optional<std::uint32_t> parseCacheSizeKb(std::string_view text) {
    text = trimView(text);
    std::size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) {
        ++digits;
    }
    if (digits == 0 || digits > 9) {
        return std::nullopt;
    }
    const auto number = static_cast<std::uint64_t>(
        std::strtoull(std::string(text.substr(0, digits)).c_str(), nullptr, 10));
    const std::string_view unit = trimView(text.substr(digits));
    std::uint64_t kb = 0;
    if (unit == "K" || unit == "KB" || unit == "k") {
        kb = number;
    } else if (unit == "M" || unit == "MB") {
        kb = number * 1024;
    } else if (unit == "G" || unit == "GB") {
        kb = number * 1024 * 1024;
    } else if (unit.empty()) {
        kb = number / 1024;  // a plain byte count
    } else {
        return std::nullopt;
    }
    if (kb > 0xFFFFFFFFu) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(kb);
}

std::optional<std::uint32_t> parseLeadingNumber(std::string_view text) {
    text = trimView(text);
    std::size_t end = 0;
    while (end < text.size() &&
           (std::isdigit(static_cast<unsigned char>(text[end])) || text[end] == '.')) {
        ++end;
    }
    if (end == 0 || end > 24) {
        return std::nullopt;
    }
    const std::string number(text.substr(0, end));
    char* stop = nullptr;
    const double value = std::strtod(number.c_str(), &stop);
    if (stop == number.c_str() || !(value >= 0) || value > 4.0e9) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(std::lround(value));
}

namespace {

// A logical CPU, with its record in /proc/cpuinfo where it has one.
struct Cpu {
    int number;
    const CpuInfo::Logical* record;
};

// The logical CPUs: those of /proc/cpuinfo, else the cpuN directories of
// sysfs.
std::vector<Cpu> logicalCpus(const FileTree& files, const CpuInfo& info) {
    std::vector<Cpu> cpus;
    for (const auto& logical : info.cpus) {
        cpus.push_back({logical.number, &logical});
    }
    if (!cpus.empty()) {
        return cpus;
    }
    for (const auto& name : files.list("/sys/devices/system/cpu")) {
        if (name.size() > 3 && name.compare(0, 3, "cpu") == 0) {
            if (const auto n = smallNumber(std::string_view(name).substr(3))) {
                cpus.push_back({*n, nullptr});
            }
        }
    }
    return cpus;
}

// Where a CPU sits: its package and core, where known.
struct Placement {
    std::optional<int> package;
    std::optional<int> core;
    const CpuInfo::Logical* record = nullptr;
};

// What a CPU says of itself: its record's lines (x86's "physical id" and
// "core id", s390's "package" and "core"), else sysfs' topology.
Placement placementOf(const FileTree& files, const CpuInfo& info, const Cpu& cpu) {
    Placement out{std::nullopt, std::nullopt, cpu.record};
    if (cpu.record) {
        if (const auto v = info.field(*cpu.record, "physical id")) {
            out.package = smallNumber(*v);
        } else if (const auto p = info.field(*cpu.record, "package")) {
            out.package = smallNumber(*p);
        }
        if (const auto v = info.field(*cpu.record, "core id")) {
            out.core = smallNumber(*v);
        } else if (const auto c = info.field(*cpu.record, "core")) {
            out.core = smallNumber(*c);
        }
    }
    if (!out.package) {
        if (const auto v =
                readTrimmed(files, cpuPath(cpu.number, "topology/physical_package_id"))) {
            out.package = smallNumber(*v);  // -1 (unknown) stays without a value
        }
    }
    if (!out.core) {
        if (const auto v = readTrimmed(files, cpuPath(cpu.number, "topology/core_id"))) {
            out.core = smallNumber(*v);
        }
    }
    return out;
}

using Placements = std::map<int, Placement>;

bool allPackagesKnown(const Placements& placements) {
    return std::all_of(placements.begin(), placements.end(),
                       [](const auto& entry) { return entry.second.package.has_value(); });
}

// CPUs that say nothing of their package take that of a CPU whose sibling
// list names them (captures of a machine may hold the topology of some CPUs
// only).
void takePackagesFromSiblings(const FileTree& files, Placements& placements) {
    for (const auto& [number, placement] : Placements(placements)) {
        if (!placement.package) {
            continue;
        }
        auto siblings = readTrimmed(files, cpuPath(number, "topology/package_cpus_list"));
        if (!siblings) {
            siblings = readTrimmed(files, cpuPath(number, "topology/core_siblings_list"));
        }
        if (!siblings) {
            continue;
        }
        for (const int sibling : parseCpuList(*siblings)) {
            if (const auto it = placements.find(sibling);
                it != placements.end() && !it->second.package) {
                it->second.package = placement.package;
            }
        }
    }
}

// The packages with their CPUs, and their cores where every CPU's is known.
// When the package of some CPU stays unknown, the numbers the others give
// cannot be trusted to split the machine (ARM kernels number clusters
// there): all CPUs form one package.
std::vector<Package> packagesOf(const Placements& placements) {
    std::map<int, Package> packages;
    std::map<int, std::set<int>> coreIds;
    std::set<int> unknownCore;  // packages with a CPU whose core is not known
    const bool allKnown = allPackagesKnown(placements);
    for (const auto& [number, placement] : placements) {
        const int id = allKnown ? *placement.package : 0;
        Package& package = packages[id];
        package.id = id;
        package.cpus.push_back(number);
        if (!package.first && placement.record) {
            package.first = placement.record;
        }
        if (placement.core) {
            coreIds[id].insert(*placement.core);
        } else {
            unknownCore.insert(id);
        }
    }
    std::vector<Package> out;
    for (auto& [id, package] : packages) {
        std::sort(package.cpus.begin(), package.cpus.end());
        package.cpus.erase(std::unique(package.cpus.begin(), package.cpus.end()),
                           package.cpus.end());
        if (!unknownCore.count(id)) {
            package.cores = static_cast<int>(coreIds[id].size());
        }
        out.push_back(std::move(package));
    }
    return out;
}

}  // namespace

std::vector<Package> groupPackages(const FileTree& files, const CpuInfo& info) {
    Placements placements;
    for (const auto& cpu : logicalCpus(files, info)) {
        placements[cpu.number] = placementOf(files, info, cpu);
    }
    // Sibling lists are read only when some CPU's package is not known.
    if (!allPackagesKnown(placements)) {
        takePackagesFromSiblings(files, placements);
    }
    return packagesOf(placements);
}

CacheTable::CacheTable(const FileTree& files, const std::vector<int>& cpus) {
    // For each index name, the CPUs already known to hold a cache under it.
    std::map<std::string, std::map<int, std::size_t>> known;
    for (const int cpu : cpus) {
        if (m_cachesOf.count(cpu)) {
            continue;  // listed twice
        }
        std::vector<std::size_t>& mine = m_cachesOf[cpu];
        const std::string cacheDir = cpuPath(cpu, "cache");
        for (const auto& index : files.list(cacheDir)) {
            if (index.compare(0, 5, "index") != 0) {
                continue;
            }
            auto& holders = known[index];
            if (const auto it = holders.find(cpu); it != holders.end()) {
                mine.push_back(it->second);
                continue;
            }
            const std::string dir = cacheDir + "/" + index + "/";
            Cache cache;
            if (const auto list = readTrimmed(files, dir + "shared_cpu_list")) {
                cache.sharers = parseCpuList(*list);
            }
            if (const auto levelText = readTrimmed(files, dir + "level")) {
                cache.level = smallNumber(*levelText);
            }
            const auto type = readTrimmed(files, dir + "type");
            cache.dataOrUnified = type && (*type == "Unified" || *type == "Data");
            // An instruction cache's size is never counted.
            if (cache.dataOrUnified) {
                if (const auto size = readTrimmed(files, dir + "size")) {
                    cache.sizeKb = parseCacheSizeKb(*size);
                }
            }
            const bool complete = !cache.sharers.empty() && cache.level && type &&
                                  (!cache.dataOrUnified || cache.sizeKb);
            const std::size_t id = m_caches.size();
            if (complete) {
                for (const int sharer : cache.sharers) {
                    holders.emplace(sharer, id);
                }
            }
            m_caches.push_back(std::move(cache));
            mine.push_back(id);
        }
    }
}

std::optional<std::uint32_t> CacheTable::totalKb(const std::vector<int>& cpus, int level) const {
    if (cpus.empty()) {
        return std::nullopt;
    }
    std::set<std::set<int>> seen;
    std::set<int> covered;
    std::uint64_t totalKb = 0;
    for (const int cpu : cpus) {
        const auto it = m_cachesOf.find(cpu);
        if (it == m_cachesOf.end()) {
            continue;
        }
        for (const std::size_t id : it->second) {
            const Cache& cache = m_caches[id];
            if (cache.level != level || !cache.dataOrUnified || !cache.sizeKb ||
                cache.sharers.empty()) {
                continue;
            }
            if (seen.insert(cache.sharers).second) {
                totalKb += *cache.sizeKb;
            }
            covered.insert(cache.sharers.begin(), cache.sharers.end());
        }
    }
    for (const int cpu : cpus) {
        if (!covered.count(cpu)) {
            return std::nullopt;
        }
    }
    if (totalKb > 0xFFFFFFFFu) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(totalKb);
}

std::optional<std::uint32_t> cacheKbForCpus(const FileTree& files, const std::vector<int>& cpus,
                                            int level) {
    return CacheTable(files, cpus).totalKb(cpus, level);
}

}  // namespace tolvex::linuxprov::cpu
