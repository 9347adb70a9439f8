#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TreeBuilder.h"
#include "wmi/WmiNames.h"
#include "wmi/linux/OsFacts.h"

namespace tolvex::testing {
namespace {

namespace prop = wmi::prop;
using linuxprov::enumerateOperatingSystems;

std::string readFixture(const std::string& relative) {
    std::ifstream in(std::string(TOLVEX_FIXTURES_DIR) + "/" + relative, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

// Captions read off each captured os-release by hand: PRETTY_NAME wherever
// the file has one.
TEST(OsReleaseCaption, EveryCapturedDistribution) {
    const std::string folder = std::string(TOLVEX_FIXTURES_DIR) + "/os-release/python-distro";
    if (!std::filesystem::exists(folder)) {
        GTEST_SKIP() << "os-release fixtures not found in " << folder;
    }
    const std::pair<const char*, const char*> cases[] = {
        {"almalinux10", "AlmaLinux 10.0 (Purple Lion)"},
        {"altlinux10", "ALT Server 10.1 (Mendelevium)"},
        {"amazon2023", "Amazon Linux 2023"},
        {"arch", "Arch Linux"},
        {"buildroot", "Buildroot 2022.02"},
        {"centos7", "CentOS Linux 7 (Core)"},
        {"cloudlinux7", "CloudLinux 7.3 (Yury Malyshev)"},
        {"coreos", "CoreOS 899.15.0"},
        {"debian13", "Debian GNU/Linux 13 (trixie)"},
        {"debian8", "Debian GNU/Linux 8 (jessie)"},
        {"exherbo", "Exherbo Linux"},
        {"fedora42", "Fedora Linux 42 (Forty Two)"},
        {"gentoo", "Gentoo/Linux"},
        {"linuxmint17", "Ubuntu 14.04.3 LTS"},
        {"mageia5", "Mageia 5"},
        {"manjaro1512", "Manjaro Linux"},
        {"openelec6", "OpenELEC (official) - Version: 6.0.3"},
        {"opensuse15", "openSUSE Leap 15.2"},
        {"oracle7", "Oracle Linux Server 7.5"},
        {"raspbian8", "Raspbian GNU/Linux 8 (jessie)"},
        {"rhel7", "Red Hat Enterprise Linux Server 7.0 (Maipo)"},
        {"rhel9", "Red Hat Enterprise Linux 9.6 (Plow)"},
        {"rocky9", "Rocky Linux 9.3 (Blue Onyx)"},
        {"slackware14", "Slackware 14.1"},
        {"sles12", "SUSE Linux Enterprise Server 12 SP1"},
        {"ubuntu16", "Ubuntu 16.04.1 LTS"},
    };
    for (const auto& [distro, caption] : cases) {
        SCOPED_TRACE(distro);
        // Through a tree, as the provider reads it: /etc first.
        TreeBuilder tree;
        tree.file("/etc/os-release",
                  readFixture(std::string("os-release/python-distro/") + distro + ".os-release"));
        const auto os = enumerateTree(tree.root(), enumerateOperatingSystems);
        ASSERT_EQ(os.size(), 1u);
        EXPECT_EQ(shown(os[0], prop::Caption), caption);
    }
}

TEST(OsReleaseCaption, QuotingFallbacksAndBadBytes) {
    const std::pair<std::string, std::string> cases[] = {
        {"NAME=Foo\nVERSION=\"1 (Bar)\"\n", "Foo 1 (Bar)"},
        {"NAME='Single Quoted'\n", "Single Quoted"},
        {"PRETTY_NAME=\"Say \\\"hi\\\" \\$HOME\"\n", "Say \"hi\" $HOME"},
        {"# comment\n\nPRETTY_NAME=\"\"\nNAME=Plain\n", "Plain"},
        {"NAME=Unquoted # trailing comment\n", "Unquoted"},
        {"PRETTY_NAME=\"Caf\xE9 OS\"\n", "Caf\xEF\xBF\xBD OS"},  // a stray byte is replaced
        {"garbage line\n=novalue\nPRETTY_NAME=Ok\r\n", "Ok"},
        {"VERSION=3\n", "<null>"},
    };
    for (const auto& [content, caption] : cases) {
        SCOPED_TRACE(content);
        TreeBuilder tree;
        tree.file("/usr/lib/os-release", content);
        const auto os = enumerateTree(tree.root(), enumerateOperatingSystems);
        EXPECT_EQ(shown(os[0], prop::Caption), caption);
    }
}

TEST(OsReleaseCaption, EtcTakesPrecedenceOverUsrLib) {
    TreeBuilder tree;
    tree.file("/etc/os-release", "PRETTY_NAME=Etc\n")
        .file("/usr/lib/os-release", "PRETTY_NAME=Lib\n");
    EXPECT_EQ(shown(enumerateTree(tree.root(), enumerateOperatingSystems)[0], prop::Caption),
              "Etc");
}

TEST(KernelVersion, BuildNumberAndType) {
    struct Case {
        const char* version;
        const char* number;
        const char* type;
    };
    const Case cases[] = {
        {"#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1 (2024-02-01)", "1", "SMP PREEMPT_DYNAMIC"},
        {"#36-Ubuntu SMP PREEMPT_DYNAMIC Mon Apr  8 15:52:01 UTC 2024", "36",
         "SMP PREEMPT_DYNAMIC"},
        {"#1 SMP Thu Jun 27 20:38:37 UTC 2013", "1", "SMP"},
        {"#2 Tue Jan 1 00:00:00 UTC 2019", "2", ""},
        {"no hash here", "", ""},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        const auto build = linuxprov::parseKernelVersion(c.version);
        EXPECT_EQ(build.buildNumber.value_or(""), c.number);
        EXPECT_EQ(build.buildType.value_or(""), c.type);
    }
}

// Worked by hand: 1616893200 is 2021-03-28 01:00:00 UTC, the moment Central
// Europe moves from +60 to +120; 1372179561 is 2013-06-25 16:59:21 UTC.
TEST(LastBootUpTime, ZonesAcrossDaylightSavingAndHalfHours) {
    struct Case {
        const char* zone;
        long long btime;
        const char* expected;
    };
    const Case cases[] = {
        {"Europe/Berlin", 1616893199, "20210328015959.000000+060"},
        {"Europe/Berlin", 1616893200, "20210328030000.000000+120"},
        {"Australia/Adelaide", 1372179561, "20130626022921.000000+570"},
        {"Australia/Adelaide", 1356998400, "20130101103000.000000+630"},  // summer
        {"Asia/Kathmandu", 1372179561, "20130625224421.000000+345"},
        {"America/St_Johns", 1372179561, "20130625142921.000000-150"},
        {"UTC", 1372179561, "20130625165921.000000+000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + " " + std::to_string(c.btime));
        TreeBuilder tree;
        tree.file("/proc/stat", "cpu  1 2 3\nbtime " + std::to_string(c.btime) + "\nprocesses 9\n")
            .file("/tolvex-syscalls.ini", std::string("timezone = ") + c.zone + "\n");
        const auto os = enumerateTree(tree.root(), enumerateOperatingSystems);
        const std::string shownTime = shown(os[0], prop::LastBootUpTime);
        EXPECT_EQ(shownTime, c.expected);
        EXPECT_EQ(shownTime.size(), 25u);
    }
}

TEST(LastBootUpTime, MomentsTheFormCannotHoldAreNull) {
    // The form has four digits of year and three of offset. The moments are
    // counted independently: 253402300799 is 9999-12-31 23:59:59 UTC and
    // -62135596800 is 0001-01-01 00:00:00 UTC.
    struct Case {
        long long seconds;
        int offsetMinutes;
        const char* expected;  // nullptr: Null
    };
    const Case cases[] = {
        {253402300799, 0, "99991231235959.000000+000"},
        {253402300799, 1, nullptr},  // a fuzzer's finding: year 10000 in the zone
        {253402300799, 999, nullptr},
        {253402300799 - 59, -1, "99991231235800.000000-001"},
        {-62135596800, 0, "00010101000000.000000+000"},
        {-62135596800, -1, nullptr},
        {-62135596800, 60, "00010101010000.000000+060"},
        {0, 999, "19700101163900.000000+999"},
        {0, -999, "19691231072100.000000-999"},
        {0, 1000, nullptr},
        {0, -1080, nullptr},
        {951782400, 0, "20000229000000.000000+000"},
        {INT64_MAX, 0, nullptr},
        {INT64_MIN, -999, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.seconds) + " " + std::to_string(c.offsetMinutes));
        const auto text = linuxprov::managementDateTime(c.seconds, c.offsetMinutes);
        if (c.expected) {
            EXPECT_EQ(text, std::optional<std::string>(c.expected));
        } else {
            EXPECT_EQ(text, std::nullopt);
        }
    }
}

TEST(LastBootUpTime, NullWithoutBtime) {
    TreeBuilder tree;
    tree.file("/proc/stat", "cpu 1 2 3\nbtime notanumber\n");
    EXPECT_EQ(shown(enumerateTree(tree.root(), enumerateOperatingSystems)[0], prop::LastBootUpTime),
              "<null>");
}

// One utmp record of the C library's layout: type at 0, user at 44.
std::string utmpRecord(short type, const char* user) {
    std::string record(384, '\0');
    std::memcpy(record.data(), &type, sizeof type);
    std::memcpy(record.data() + 44, user, std::strlen(user));
    return record;
}

TEST(NumberOfUsers, CountsUserProcessRecords) {
    TreeBuilder tree;
    const std::string utmp = utmpRecord(2, "reboot") + utmpRecord(7, "alice") +
                             utmpRecord(6, "LOGIN") + utmpRecord(7, "bob") + utmpRecord(7, "") +
                             utmpRecord(8, "carol") + std::string(100, '\x07');  // torn record
    tree.file("/var/run/utmp", utmp);
    EXPECT_EQ(shown(enumerateTree(tree.root(), enumerateOperatingSystems)[0], prop::NumberOfUsers),
              "2");

    TreeBuilder empty;
    EXPECT_EQ(shown(enumerateTree(empty.root(), enumerateOperatingSystems)[0], prop::NumberOfUsers),
              "<null>");
}

TEST(MemoryTotals, FromMeminfoAndSwaps) {
    TreeBuilder tree;
    tree.file("/proc/meminfo",
              "MemTotal:        8000000 kB\nMemFree:          100000 kB\n"
              "MemAvailable:    5000000 kB\nSwapTotal:       9999999 kB\nSwapFree: 1 kB\n")
        .file("/proc/swaps",
              "Filename\t\t\t\tType\t\tSize\t\tUsed\t\tPriority\n"
              "/dev/sda2                               partition\t2097148\t\t1024\t\t-2\n"
              "/swap\\040file                          file\t\t1048576\t\t0\t\t-3\n");
    const auto os = enumerateTree(tree.root(), enumerateOperatingSystems)[0];
    EXPECT_EQ(shown(os, prop::TotalVisibleMemorySize), "8000000");
    EXPECT_EQ(shown(os, prop::FreePhysicalMemory), "5000000");
    EXPECT_EQ(shown(os, prop::SizeStoredInPagingFiles), "3145724");
    EXPECT_EQ(shown(os, prop::FreeSpaceInPagingFiles), "3144700");
    EXPECT_EQ(shown(os, prop::TotalVirtualMemorySize), "11145724");
    EXPECT_EQ(shown(os, prop::FreeVirtualMemory), "8144700");
}

TEST(MemoryTotals, NullWhenMeminfoIsMissing) {
    TreeBuilder tree;
    const auto os = enumerateTree(tree.root(), enumerateOperatingSystems)[0];
    for (const char* name :
         {prop::TotalVisibleMemorySize, prop::FreePhysicalMemory, prop::TotalVirtualMemorySize,
          prop::FreeVirtualMemory, prop::SizeStoredInPagingFiles, prop::FreeSpaceInPagingFiles}) {
        EXPECT_EQ(shown(os, name), "<null>") << name;
    }
}

// The captured Dell server (kernel of 2013, no MemAvailable line): free
// memory is MemFree + Buffers + Cached = 29472600 + 7240 + 83828.
TEST(CapturedOperatingSystem, DellServer) {
    const std::string root = capturedTree("hwloc/32em64t-2n8c+dax+nvme+mic+dimms.tar.bz2");
    TOLVEX_REQUIRE_CAPTURE(root);
    const auto os = enumerateTree(root, enumerateOperatingSystems);
    ASSERT_EQ(os.size(), 1u);
    EXPECT_EQ(shown(os[0], prop::TotalVisibleMemorySize), "32836008");
    EXPECT_EQ(shown(os[0], prop::FreePhysicalMemory), "29563668");
    EXPECT_EQ(shown(os[0], prop::SizeStoredInPagingFiles), "4194296");
    EXPECT_EQ(shown(os[0], prop::FreeSpaceInPagingFiles), "4188400");
    EXPECT_EQ(shown(os[0], prop::TotalVirtualMemorySize), "37030304");
    EXPECT_EQ(shown(os[0], prop::FreeVirtualMemory), "33752068");
    EXPECT_EQ(shown(os[0], prop::LastBootUpTime), "20130625165921.000000+000");
    EXPECT_EQ(shown(os[0], prop::BootDevice), "/dev/sda1");
    EXPECT_EQ(shown(os[0], prop::CSName), "TESTHOST");
}

// Every property the operating-system section reads must exist; the service
// fails a read of one the class lacks.
TEST(CapturedOperatingSystem, AnswersEveryPropertyTheSectionReads) {
    TreeBuilder tree;
    const auto os = enumerateTree(tree.root(), enumerateOperatingSystems)[0];
    for (const char* name : {prop::Caption,
                             prop::Manufacturer,
                             prop::SerialNumber,
                             prop::Version,
                             prop::BuildNumber,
                             prop::BuildType,
                             prop::CSDVersion,
                             prop::ServicePackMajorVersion,
                             prop::ServicePackMinorVersion,
                             prop::BootDevice,
                             prop::WindowsDirectory,
                             prop::SystemDirectory,
                             prop::CSName,
                             prop::LastBootUpTime,
                             prop::NumberOfLicensedUsers,
                             prop::NumberOfUsers,
                             prop::TotalVisibleMemorySize,
                             prop::FreePhysicalMemory,
                             prop::TotalVirtualMemorySize,
                             prop::FreeVirtualMemory,
                             prop::SizeStoredInPagingFiles,
                             prop::FreeSpaceInPagingFiles}) {
        EXPECT_NO_THROW(os->property(name)) << name;
    }
}

}  // namespace
}  // namespace tolvex::testing
