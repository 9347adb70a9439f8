// Machines that lie, break or hang: the provider answers every class without
// crashing or hanging, every text it answers is valid UTF-8 without control
// characters, and the whole start-up sequence runs over it to its end.
#include <gtest/gtest.h>

#include <filesystem>

#include "sections/Detectors.h"
#include "sections/StartupSequence.h"
#include "tests/provider/TreeBuilder.h"
#include "tests/support/RecordingScreen.h"
#include "wmi/linux/LinuxService.h"
#include "wmi/linux/SysText.h"

namespace tolvex::testing {
namespace {

bool cleanText(const std::string& text) {
    return linuxprov::text::isCleanText(text);
}

// Enumerates every class and reads every property of every instance;
// returns the number of instances. Text values must be clean.
int readEverything(ManagementService& service) {
    int instances = 0;
    for (const auto& name : linuxprov::LinuxService::classNames()) {
        SCOPED_TRACE(name);
        ObjectSetPtr set;
        EXPECT_NO_THROW(set = service.instancesOf(name, kReturnImmediately));
        if (!set) {
            continue;
        }
        auto walk = set->enumerate();
        while (ObjectPtr object = walk->next()) {
            ++instances;
            EXPECT_NO_THROW(set->item(object->path(), 0));
            for (const auto& property : object->propertyNames()) {
                const ManagementValue value = object->property(property);
                if (value.kind() == ManagementValue::Kind::Text) {
                    EXPECT_TRUE(cleanText(value.asText()))
                        << property << " = " << ::testing::PrintToString(value.asText());
                }
            }
        }
    }
    return instances;
}

// The start-up sequence over the machine, as the program runs it.
void runSequence(const ServicePtr& service) {
    RecordingScreen screen;
    MainState state;
    state.ManagementService = service;
    const NumberFormat format;
    SectionContext context{screen, state, format};
    connectSelectorHandlers(context);
    runDetectionSteps(context, [] {});
    EXPECT_EQ(screen.text("lblLoad"), "Detecting operating system...");
    for (const auto& [field, text] : screen.texts) {
        EXPECT_TRUE(cleanText(text)) << field;
    }
    for (const auto& [selector, items] : screen.items) {
        for (const auto& item : items) {
            EXPECT_TRUE(cleanText(item)) << selector;
        }
    }
}

void check(const TreeBuilder& tree) {
    const ServicePtr service = linuxprov::makeLinuxService(tree.root());
    readEverything(*service);
    runSequence(service);
}

TEST(HostileMachine, EmptyTreeAnswersEveryClass) {
    TreeBuilder tree;
    check(tree);
}

TEST(HostileMachine, UnreadableAndVanishedFiles) {
    TreeBuilder tree;
    // A file that is a directory, links to nothing (a file that vanished
    // between the listing and the read), and files no one may read.
    tree.dir("/proc/cpuinfo")
        .link("/proc/meminfo", "/nowhere/meminfo")
        .link("/sys/class/net/eth0", "/nowhere/eth0")
        .dir("/sys/class/net/eth1/address")
        .file("/sys/class/net/eth1/ifindex", "2\n")
        .link("/etc/os-release", "/etc/os-release")
        .dir("/sys/firmware/dmi/tables/DMI")
        .file("/proc/self/mountinfo", "")
        .file("/proc/stat", "btime\n");
    for (const char* path : {"/proc/swaps", "/sys/class/dmi/id/board_vendor"}) {
        tree.file(path, "secret\n");
        std::filesystem::permissions(std::filesystem::path(tree.root()) / (path + 1),
                                     std::filesystem::perms::none);
    }
    check(tree);
}

TEST(HostileMachine, HugeCpuInfoAndTenThousandMounts) {
    TreeBuilder tree;
    std::string cpuinfo;
    for (int cpu = 0; cpuinfo.size() < 10u << 20; ++cpu) {
        cpuinfo += "processor\t: " + std::to_string(cpu) +
                   "\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Xeon(R) CPU\n"
                   "physical id\t: " +
                   std::to_string(cpu % 4) +
                   "\ncpu MHz\t\t: 2600.000\nflags\t\t: " + std::string(400, 'x') + "\n\n";
    }
    std::string mounts;
    for (int i = 0; i < 10000; ++i) {
        mounts += std::to_string(100 + i) + " 1 0:" + std::to_string(50 + i) + " / /mnt/m" +
                  std::to_string(i) + " rw - tmpfs tmpfs rw\n";
    }
    tree.file("/proc/cpuinfo", cpuinfo).file("/proc/self/mountinfo", mounts);
    const ServicePtr service = linuxprov::makeLinuxService(tree.root());
    EXPECT_GT(readEverything(*service), 10000);
}

TEST(HostileMachine, BrokenSmbiosTables) {
    std::string header;  // a type 2 structure of 8 bytes
    const auto structure = [](std::uint8_t type, std::uint8_t length, std::string body,
                              std::string strings) {
        std::string s;
        s += static_cast<char>(type);
        s += static_cast<char>(length);
        s += std::string("\x01\x00", 2);
        s += body;
        return s + strings;
    };
    const std::string tables[] = {
        "",                                            // zero length
        structure(2, 200, "\x01\x02\x03\x04", "A\0"),  // runs past the end
        structure(2, 8, std::string("\x05\x09\x07\x08", 4),
                  std::string("X\0\0", 3)),            // indexes out of range
        structure(17, 2, "", std::string("\0\0", 2)),  // shorter than a header
        structure(4, 0x30, std::string(0x2C, '\xFF'), std::string("\xFF\xFE\x01\x1B[31m\0\0", 10)),
    };
    for (const auto& table : tables) {
        TreeBuilder tree;
        tree.file("/sys/firmware/dmi/tables/DMI", table)
            .file("/sys/firmware/dmi/tables/smbios_entry_point",
                  std::string("_SM3_\x00\x18\x03\x05\x00\x01\x00", 12) + std::string(12, '\0'));
        check(tree);
    }
}

TEST(HostileMachine, NonUtf8AndControlCharactersInNamesAndLabels) {
    TreeBuilder tree;
    const std::string nasty = std::string("bad\xFF\xFE name\x01\x1B[2J\tend\xC3", 21);
    tree.file("/etc/os-release", "PRETTY_NAME=\"" + nasty + "\"\n")
        .file("/sys/class/dmi/id/board_vendor", nasty + "\n")
        .file("/sys/class/dmi/id/board_name", "<b>x</b>\n")
        .file("/sys/class/net/" + std::string("e\xFFth0", 5) + "/ifindex", "2\n")
        .file("/sys/class/net/" + std::string("e\xFFth0", 5) + "/address", nasty + "\n")
        .file("/proc/cpuinfo", "processor\t: 0\nmodel name\t: " + nasty + "\n\n")
        .file("/proc/self/mountinfo", "20 1 8:1 / /media/l\\134abel\\012x rw - ext4 /dev/sda1 rw\n")
        .dir("/dev/disk/by-label")
        .link("/dev/disk/by-label/" + std::string("\xFF\x01lab", 5), "../../sda1");
    check(tree);
}

TEST(HostileMachine, DeadNetworkMountDoesNotHangTheProgram) {
    TreeBuilder tree;
    tree.file("/proc/self/mountinfo",
              "30 1 0:40 / /net/dead rw - nfs4 server:/export rw\n"
              "31 1 0:41 / /net/dead2 rw - nfs4 server:/export2 rw\n")
        .file("/tolvex-syscalls.ini",
              "hostname = hostile\nstatvfs:/net/dead = hang\nstatvfs:/net/dead2 = hang\n");
    // Mounts recorded as hanging have no sizes; the provider asks them, with
    // every other mount that may hang, under one time bound (the bound itself
    // is tested with a call that blocks, in DriveSpaceTest).
    const ServicePtr service = linuxprov::makeLinuxService(tree.root());
    const ObjectSetPtr drives = service->instancesOf("Win32_LogicalDisk", kReturnImmediately);
    ASSERT_EQ(drives->count(), 2);
    auto walk = drives->enumerate();
    while (ObjectPtr drive = walk->next()) {
        EXPECT_TRUE(drive->property("Size").isNull());
    }
}

}  // namespace
}  // namespace tolvex::testing
