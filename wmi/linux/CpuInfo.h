#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "wmi/linux/SystemSource.h"

// The processors as the kernel shows them: /proc/cpuinfo, and per logical
// CPU the topology, frequency and cache attributes under
// /sys/devices/system/cpu.
namespace tolvex::linuxprov::cpu {

// /proc/cpuinfo as key/value records. Keys are lower-cased and trimmed
// ("model name", "cpu architecture", "physical id"). Records that carry a
// "processor" number describe one logical CPU; the lines of every other
// record (the machine-wide lines that ARM, POWER and SPARC kernels print
// before or after the CPUs) are gathered in `machine`.
struct CpuInfo {
    struct Logical {
        int number = -1;
        std::map<std::string, std::string> fields;
    };
    std::vector<Logical> cpus;
    std::map<std::string, std::string> machine;

    // A CPU's field, else the machine-wide one.
    std::optional<std::string> field(const Logical& cpu, const std::string& key) const;
};

CpuInfo parseCpuInfo(std::string_view text);

// "0-3,8,10-11" as a set of numbers; an empty set for anything malformed.
std::set<int> parseCpuList(std::string_view text);

// A cache size as sysfs writes it ("48K", "2048K", "1M"), in KB.
std::optional<std::uint32_t> parseCacheSizeKb(std::string_view text);

// A leading decimal number of a text ("2400.000", "3000.000000MHz"),
// rounded to a whole number.
std::optional<std::uint32_t> parseLeadingNumber(std::string_view text);

// One physical package (socket) and the logical CPUs the kernel places in
// it.
struct Package {
    int id = 0;
    std::vector<int> cpus;                    // logical CPU numbers, ascending
    std::optional<int> cores;                 // distinct cores, when every CPU's core is known
    const CpuInfo::Logical* first = nullptr;  // its first /proc/cpuinfo record
};

// Groups the logical CPUs into packages, by the package number cpuinfo
// gives ("physical id", "package"), else the topology's
// physical_package_id, else one package for all. Packages are ordered by
// their number.
std::vector<Package> groupPackages(const FileTree& files, const CpuInfo& info);

// The caches sysfs describes for a set of logical CPUs, read once. A cache
// index directory is read for the first CPU that has it; the CPUs it names
// in its shared_cpu_list hold the same cache under the same index, so their
// copies are not read again. A cache whose files are incomplete covers no
// other CPU: each reads its own.
class CacheTable {
  public:
    CacheTable() = default;
    CacheTable(const FileTree& files, const std::vector<int>& cpus);

    // The total size of the caches of one level serving a set of CPUs, each
    // shared cache counted once. No value unless every CPU of the set is
    // served by a cache of that level that sysfs describes.
    std::optional<std::uint32_t> totalKb(const std::vector<int>& cpus, int level) const;

    // How many cache index directories were read.
    std::size_t directoriesRead() const { return m_caches.size(); }

  private:
    struct Cache {
        std::optional<int> level;
        bool dataOrUnified = false;
        std::optional<std::uint32_t> sizeKb;
        std::set<int> sharers;
    };
    std::vector<Cache> m_caches;
    std::map<int, std::vector<std::size_t>> m_cachesOf;  // CPU -> its caches, by index
};

// The same for one set and level, read on its own.
std::optional<std::uint32_t> cacheKbForCpus(const FileTree& files, const std::vector<int>& cpus,
                                            int level);

}  // namespace tolvex::linuxprov::cpu
