// Why a property is Null, from the read that failed: captured machines with
// a source made root-only, absent, damaged or hanging, through the sidecar
// or the tree's own files.

#include <cctype>
#include <filesystem>
#include <string>

#include "ProviderFixtures.h"
#include "TreeBuilder.h"
#include "wmi/WmiNames.h"

namespace tolvex::testing {
namespace {

namespace fs = std::filesystem;
using namespace linuxprov;

struct ReasonCase {
    const char* what;
    const char* tree;     // a captured machine
    const char* sidecar;  // lines added to its sidecar
    const char* remove;   // a path removed from the tree, or nullptr
    const char* damage;   // a file overwritten with a table that cannot be read, or nullptr
    Enumerate enumerate;
    const char* instance;  // the instance's key value; nullptr: the first
    const char* property;
    const char* reason;   // reasonText
    const char* remedy;   // nullptr: none
    const char* valued;   // a property of the instance with a value: no reason
    bool folder = false;  // the removed path comes back as a folder
};

const char* const kDell = "hwloc/32em64t-2n8c+dax+nvme+mic+dimms.tar.bz2";
const char* const kPower7 = "util-linux-lscpu/ppc64-POWER7.tar.gz";
const char* const kRootOnly = "Run Tolvex as root to read the firmware tables";

const ReasonCase kCases[] = {
    {"firmware tables root-only", kDell,
     "read:/sys/firmware/dmi/tables/DMI = EACCES\nread:/sys/firmware/dmi/entries = EACCES\n",
     nullptr, nullptr, enumerateProcessors, nullptr, "ExtClock",
     "needs administrator rights: /sys/firmware/dmi/tables/DMI", kRootOnly, "Name"},
    {"board features root-only", kDell,
     "read:/sys/firmware/dmi/tables/DMI = EACCES\nread:/sys/firmware/dmi/entries = EACCES\n"
     "read:/run/udev/data/+dmi:id = ENOENT\n",
     nullptr, nullptr, enumerateBaseBoards, nullptr, "HostingBoard",
     "needs administrator rights: /sys/firmware/dmi/tables/DMI", kRootOnly, "Product"},
    {"firmware tables absent", kDell, "", "/sys/firmware/dmi", nullptr, enumerateProcessors,
     nullptr, "CurrentVoltage", "not provided by this machine: /sys/firmware/dmi/tables/DMI",
     nullptr, "Name"},
    {"board serial root-only, no tables", kDell, "read:/sys/class/dmi/id/board_serial = EPERM\n",
     "/sys/firmware/dmi", nullptr, enumerateBaseBoards, nullptr, "SerialNumber",
     "needs administrator rights: /sys/class/dmi/id/board_serial", kRootOnly, "Manufacturer"},
    {"firmware table damaged", kDell, "", "/sys/firmware/dmi/entries",
     "/sys/firmware/dmi/tables/DMI", enumerateProcessors, nullptr, "ExtClock",
     "unreadable: /sys/firmware/dmi/tables/DMI (damaged)", nullptr, "Name"},
    {"memory totals unreadable", kDell, "read:/proc/meminfo = EIO\n", nullptr, nullptr,
     enumerateOperatingSystems, nullptr, "TotalVisibleMemorySize",
     "unreadable: /proc/meminfo (Input/output error)", nullptr, "CSName"},
    {"mount hangs", kDell, "statvfs:/ = hang\n", nullptr, nullptr, enumerateLogicalDisks, "/",
     "FreeSpace", "unreadable: statvfs / (timed out)", nullptr, "FileSystem"},
    {"memory totals a folder", kDell, "", "/proc/meminfo", nullptr, enumerateOperatingSystems,
     nullptr, "TotalVisibleMemorySize", "unreadable: /proc/meminfo (a folder in place of a file)",
     nullptr, "CSName", true},
    {"no cpufreq", kPower7, "", nullptr, nullptr, enumerateProcessors, nullptr, "MaxClockSpeed",
     "not provided by this machine: /sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq", nullptr,
     "Name"},
    {"no such thing on Linux", kDell, "", nullptr, nullptr, enumerateOperatingSystems, nullptr,
     "WindowsDirectory", "no such thing on this platform", nullptr, "TotalVisibleMemorySize"},
};

// Shows a captured tree through symbolic links (copying its thousands of
// files would take far longer than the test), with `dir` and the folders
// above it made real so that what is in them can be changed.
void openFolder(const fs::path& capture, const fs::path& root, const fs::path& dir) {
    const auto mirror = [&](const fs::path& relative) {
        if (fs::is_directory(capture / relative)) {
            for (const auto& entry : fs::directory_iterator(capture / relative)) {
                fs::create_symlink(entry.path(), root / relative / entry.path().filename());
            }
        }
    };
    if (fs::is_empty(root)) {
        mirror({});
    }
    fs::path relative;
    for (const auto& part : dir) {
        relative /= part;
        const fs::path here = root / relative;
        if (fs::is_symlink(here) || !fs::exists(here)) {
            fs::remove(here);
            fs::create_directory(here);
            mirror(relative);
        }
    }
}

// Each case shows by what it does (in test names and failures), not its bytes.
void PrintTo(const ReasonCase& c, std::ostream* os) {
    *os << c.what;
}

class NullReasonCase : public ::testing::TestWithParam<ReasonCase> {};

TEST_P(NullReasonCase, ThePropertySaysWhichReadFailedAndHow) {
    const ReasonCase& c = GetParam();
    const std::string capture = capturedTree(c.tree);
    TOLVEX_REQUIRE_CAPTURE(capture);
    TreeBuilder tree;
    const fs::path root = tree.root();
    openFolder(capture, root, {});
    fs::remove(root / "tolvex-syscalls.ini");
    tree.file("/tolvex-syscalls.ini",
              readBytes(fs::path(capture) / "tolvex-syscalls.ini") + "\n" + c.sidecar);
    for (const char* path : {c.remove, c.damage}) {
        if (path) {
            openFolder(capture, root, fs::path(path + 1).parent_path());
            fs::remove(root / (path + 1));
        }
    }
    if (c.folder) {
        fs::create_directory(root / (c.remove + 1));
    }
    if (c.damage) {
        // A structure whose length is shorter than its own header.
        tree.file(c.damage, std::string("\x04\x02\x00\x00", 4));
    }

    const auto instances = enumerateTree(tree.root(), c.enumerate);
    ObjectPtr object;
    for (const auto& candidate : instances) {
        if (!c.instance ||
            candidate->path().find(std::string("\"") + c.instance + "\"") != std::string::npos) {
            object = candidate;
            break;
        }
    }
    ASSERT_TRUE(object) << c.what;
    EXPECT_EQ(shown(object, c.property), "<null>") << c.what;
    const NullReason reason = object->nullReason(c.property);
    EXPECT_EQ(reasonText(reason), c.reason) << c.what;
    EXPECT_EQ(reason.remedy, c.remedy ? c.remedy : "") << c.what;
    EXPECT_NE(shown(object, c.valued), "<null>") << c.what;
    EXPECT_FALSE(object->nullReason(c.valued).given()) << c.what;
}

// Named after what each case does to the machine ("firmware tables
// root-only" runs as FirmwareTablesRootOnly).
INSTANTIATE_TEST_SUITE_P(CapturedMachines, NullReasonCase, ::testing::ValuesIn(kCases),
                         [](const auto& paramInfo) {
                             std::string name;
                             bool upper = true;
                             for (const char* p = paramInfo.param.what; *p != '\0'; ++p) {
                                 const auto c = static_cast<unsigned char>(*p);
                                 if (!std::isalnum(c)) {
                                     upper = true;
                                     continue;
                                 }
                                 name += upper ? static_cast<char>(std::toupper(c))
                                               : static_cast<char>(c);
                                 upper = false;
                             }
                             return name;
                         });

// Every Null property of every class on every captured machine, and on an
// empty tree, carries a reason, and no other property does.
TEST(NullReason, EveryNullAndOnlyANullHasAReason) {
    TOLVEX_REQUIRE_FIXTURES();
    std::vector<std::string> roots;
    TreeBuilder empty;
    roots.push_back(empty.root());
    for (const char* folder : {"hwloc", "util-linux-lscpu"}) {
        for (const auto& entry : fs::directory_iterator(fixturesDir() / "sysroots" / folder)) {
            roots.push_back(
                capturedTree(std::string(folder) + "/" + entry.path().filename().string()));
        }
    }
    for (const auto& root : roots) {
        const auto service = linuxprov::makeLinuxService(root);
        for (const auto& className : linuxprov::LinuxService::classNames()) {
            const ObjectSetPtr set = service->instancesOf(className, 0);
            auto walk = set->enumerate();
            while (const ObjectPtr object = walk->next()) {
                for (const auto& name : object->propertyNames()) {
                    const NullReason reason = object->nullReason(name);
                    EXPECT_EQ(object->property(name).isNull(), reason.given())
                        << root << " " << object->path() << " " << name;
                    if (reason.given() && reason.kind != NullReason::Kind::NotOnPlatform) {
                        EXPECT_FALSE(reason.source.empty()) << object->path() << " " << name;
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace tolvex::testing
