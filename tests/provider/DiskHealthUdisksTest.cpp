// Drive health from udisks on a private system bus the test starts (a
// dbus-daemon with its own configuration): the real udisksd from Debian,
// and for SMART states no virtual disk has (a failing drive), a stand-in
// answering udisks' documented interfaces (python3-dbusmock with the
// template data/udisks_stand_in.py). Every process started here is stopped
// at the end of its test.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "ProviderFixtures.h"
#include "TreeBuilder.h"
#include "wmi/WmiNames.h"
#include "wmi/linux/Udisks.h"

namespace tolvex::testing {
namespace {

namespace prop = wmi::prop;
using namespace std::chrono_literals;

constexpr const char* kUdisksd = "/usr/libexec/udisks2/udisksd";
constexpr const char* kPython = "/usr/bin/python3";

// A program run in a process group of its own, stopped (the whole group)
// when the object goes.
class Child {
  public:
    Child(const std::vector<std::string>& argv, const std::string& busAddress) {
        m_pid = ::fork();
        if (m_pid == 0) {
            ::setpgid(0, 0);
            if (!busAddress.empty()) {
                ::setenv("DBUS_SYSTEM_BUS_ADDRESS", busAddress.c_str(), 1);
            }
            std::FILE* quiet = std::fopen("/dev/null", "w");
            if (quiet) {
                ::dup2(::fileno(quiet), 1);
                ::dup2(::fileno(quiet), 2);
            }
            std::vector<char*> args;
            for (const auto& arg : argv) {
                args.push_back(const_cast<char*>(arg.c_str()));
            }
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
    }
    ~Child() {
        if (m_pid <= 0) {
            return;
        }
        ::kill(-m_pid, SIGTERM);
        ::kill(m_pid, SIGTERM);
        for (int i = 0; i < 50; ++i) {
            if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                return;
            }
            std::this_thread::sleep_for(20ms);
        }
        ::kill(-m_pid, SIGKILL);
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

  private:
    pid_t m_pid = -1;
};

// A system bus of the test's own: anyone may own any name and call
// anything, as the real bus lets udisks' clients read its properties.
// With `activatable`, the bus could start udisks on demand: a service file
// names a program that only leaves a mark (a session-type bus starts it
// itself, with no setuid helper).
class PrivateBus {
  public:
    explicit PrivateBus(bool activatable = false) {
        const std::string dir = m_dir.path().string();
        const std::string socket = dir + "/bus";
        m_address = "unix:path=" + socket;
        if (activatable) {
            m_dir.write("/services/org.freedesktop.UDisks2.service",
                        "[D-BUS Service]\nName=org.freedesktop.UDisks2\nExec=/usr/bin/touch " +
                            dir + "/started\n");
        }
        m_dir.write("/bus.conf",
                    "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                    "1.0//EN\"\n \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                    "<busconfig>\n  <type>" +
                        std::string(activatable ? "session" : "system") +
                        "</type>\n  <listen>unix:path=" + socket + "</listen>\n" +
                        (activatable ? "  <servicedir>" + dir + "/services</servicedir>\n" : "") +
                        "  <auth>EXTERNAL</auth>\n"
                        "  <policy context=\"default\">\n    <allow user=\"*\"/>\n"
                        "    <allow own=\"*\"/>\n    <allow send_type=\"*\"/>\n"
                        "    <allow receive_type=\"*\"/>\n  </policy>\n</busconfig>\n");
        m_daemon = std::make_unique<Child>(
            std::vector<std::string>{"/usr/bin/dbus-daemon",
                                     "--config-file=" + m_dir.path().string() + "/bus.conf",
                                     "--nofork", "--nopidfile"},
            "");
        for (int i = 0; i < 250 && !std::filesystem::exists(socket); ++i) {
            std::this_thread::sleep_for(20ms);
        }
    }
    const std::string& address() const { return m_address; }
    bool started() const { return std::filesystem::exists(m_dir.path() / "started"); }

    // Waits (at most 15 s) until udisks, or its stand-in, answers.
    bool udisksAnswers() const {
        for (int i = 0; i < 150; ++i) {
            if (linuxprov::readUdisks(m_address, 500ms).failure == NullReason::Kind::None) {
                return true;
            }
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

  private:
    TempRoot m_dir;
    std::string m_address;
    std::unique_ptr<Child> m_daemon;
};

bool available(const char* program) {
    return ::access(program, X_OK) == 0;
}

#define TOLVEX_REQUIRE_PROGRAM(program)                                                       \
    if (!available(program) || !available("/usr/bin/dbus-daemon")) {                          \
        GTEST_SKIP() << program << " or dbus-daemon is not installed (scripts/install-deps)"; \
    }

ObjectPtr byId(const std::vector<ObjectPtr>& objects, const std::string& id) {
    for (const auto& object : objects) {
        if (shown(object, prop::DeviceID) == id) {
            return object;
        }
    }
    ADD_FAILURE() << "no instance " << id;
    return nullptr;
}

std::string reasonOf(const ObjectPtr& object, const char* property) {
    return reasonText(object->nullReason(property));
}

// Three SATA disks and an NVMe drive whose names the tree holds, asked of
// udisks on `busAddress` through the tree's system calls.
void buildDrives(TreeBuilder& tree, const std::string& busAddress) {
    const auto disk = [&](const std::string& name, const std::string& device) {
        tree.link("/sys/block/" + name, "../devices/pci0000:00/" + device + "/block/" + name)
            .link("/sys/devices/pci0000:00/" + device + "/block/" + name + "/device", "../..")
            .file("/sys/devices/pci0000:00/" + device + "/block/" + name + "/size", "1000\n");
    };
    disk("sda", "0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0");
    disk("sdb", "0000:00:1f.2/ata2/host1/target1:0:0/1:0:0:0");
    disk("sdc", "0000:00:1f.2/ata3/host2/target2:0:0/2:0:0:0");
    disk("sdd", "0000:00:1f.2/ata4/host3/target3:0:0/3:0:0:0");
    disk("nvme0n1", "0000:00:1d.0/0000:03:00.0/nvme/nvme0");
    // drivetemp's sensor on sdb: the drive's own reading comes first.
    tree.file(
        "/sys/devices/pci0000:00/0000:00:1f.2/ata2/host1/target1:0:0/1:0:0:0/hwmon/hwmon4/"
        "temp1_input",
        "37000\n");
    tree.file("/tolvex-syscalls.ini", "system_bus = " + busAddress + "\n");
}

// A failing drive, a healthy one with its own sensor, and an NVMe drive
// udisks has no ATA SMART for, from the stand-in.
TEST(DiskHealthUdisks, StandInFailingAndHealthyDrives) {
    TOLVEX_REQUIRE_PROGRAM(kPython);
    if (std::system("/usr/bin/python3 -c 'import dbusmock' 2>/dev/null") != 0) {
        GTEST_SKIP() << "python3-dbusmock is not installed (scripts/install-deps)";
    }
    PrivateBus bus;
    const std::string parameters =
        R"({"drives": [)"
        R"({"device": "sda", "id": "ST4000DM004_ZFN1ABCD", "serial": "ZFN1ABCD",)"
        R"( "wwn": "0x5000c500c1234567", "model": "ST4000DM004-2CV104",)"
        R"( "smart": {"updated": 1700000000, "failing": true, "kelvin": 318.15,)"
        R"( "power_on_seconds": 129601800, "bad_sectors": 12}},)"
        R"({"device": "sdb", "id": "Samsung_SSD_860_EVO_S3Z1", "serial": "S3Z1",)"
        R"( "smart": {"updated": 1700000000, "failing": false, "kelvin": 300.15,)"
        R"( "power_on_seconds": 7200, "bad_sectors": 0}},)"
        R"({"device": "sdc", "id": "WDC_WD10EZEX_WCC6Y0", "serial": "WCC6Y0",)"
        R"( "smart": {"updated": 0, "failing": true, "kelvin": 0,)"
        R"( "power_on_seconds": 0, "bad_sectors": -1}},)"
        R"({"device": "sdd", "id": "WDC_WD20EZRZ_WCC4M1", "serial": "WCC4M1",)"
        R"( "smart": {"enabled": false, "updated": 1700000000, "failing": false, "kelvin": 0,)"
        R"( "power_on_seconds": 0, "bad_sectors": 0}},)"
        R"({"device": "nvme0n1", "id": "Samsung_SSD_970_S5H7", "serial": "S5H7NS0N123456"}]})";
    Child standIn({kPython, "-m", "dbusmock", "--system", "-t",
                   std::string(TOLVEX_SOURCE_DIR) + "/tests/provider/data/udisks_stand_in.py", "-p",
                   parameters},
                  bus.address());
    ASSERT_TRUE(bus.udisksAnswers());

    TreeBuilder tree;
    buildDrives(tree, bus.address());
    const auto drives = enumerateTree(tree.root(), linuxprov::enumerateDiskDrives);
    const auto health = enumerateTree(tree.root(), linuxprov::enumerateDiskDriveHealth);

    // SMART says failing: "Pred Fail", as Windows says it.
    EXPECT_EQ(shown(byId(drives, "/dev/sda"), prop::Status), "Pred Fail");
    EXPECT_EQ(shown(byId(drives, "/dev/sdb"), prop::Status), "OK");
    EXPECT_EQ(shown(byId(drives, "/dev/nvme0n1"), prop::Status), "OK");
    // What sysfs and udev do not name, udisks does.
    EXPECT_EQ(shown(byId(drives, "/dev/sda"), prop::SerialNumber), "ZFN1ABCD");
    EXPECT_EQ(shown(byId(drives, "/dev/sda"), prop::WWN), "0x5000c500c1234567");
    EXPECT_EQ(shown(byId(drives, "/dev/nvme0n1"), prop::SerialNumber), "S5H7NS0N123456");

    const auto failing = byId(health, "/dev/sda");
    EXPECT_EQ(shown(failing, prop::SmartFailing), "true");
    EXPECT_EQ(shown(failing, prop::Temperature), std::to_string(45.0));
    EXPECT_EQ(shown(failing, prop::TemperatureSource), "udisks");
    EXPECT_EQ(shown(failing, prop::PowerOnHours), "36000");
    EXPECT_EQ(shown(failing, prop::BadSectors), "12");
    EXPECT_EQ(shown(failing, prop::HealthSource), "udisks");

    const auto healthy = byId(health, "/dev/sdb");
    EXPECT_EQ(shown(healthy, prop::SmartFailing), "false");
    EXPECT_EQ(shown(healthy, prop::Temperature), std::to_string(37.0));
    EXPECT_EQ(shown(healthy, prop::TemperatureSource),
              "/sys/block/sdb/device/hwmon/hwmon4/temp1_input");
    EXPECT_EQ(shown(healthy, prop::PowerOnHours), "2");
    EXPECT_EQ(shown(healthy, prop::BadSectors), "0");

    // Until udisks has read SMART, its values are none.
    EXPECT_EQ(shown(byId(drives, "/dev/sdc"), prop::Status), "OK");
    EXPECT_EQ(reasonOf(byId(health, "/dev/sdc"), prop::SmartFailing),
              "not provided by this machine: udisks (SMART not read yet)");
    // SMART switched off on the drive: its last values are not shown as current.
    EXPECT_EQ(reasonOf(byId(health, "/dev/sdd"), prop::SmartFailing),
              "not provided by this machine: udisks (SMART is off on the drive)");

    const auto nvme = byId(health, "/dev/nvme0n1");
    for (const char* property : {prop::SmartFailing, prop::PowerOnHours, prop::HealthSource}) {
        EXPECT_EQ(shown(nvme, property), "<null>");
        EXPECT_EQ(reasonOf(nvme, property),
                  "not provided by this machine: udisks (no ATA SMART for /dev/nvme0n1)");
    }
}

// A bus without udisks: it is not started, every SMART value says so and
// how to bring it back; the drives are still listed, each "OK".
TEST(DiskHealthUdisks, AbsentDaemonGivesItsReason) {
    TOLVEX_REQUIRE_PROGRAM("/usr/bin/dbus-daemon");
    PrivateBus bus(true);
    const auto answer = linuxprov::readUdisks(bus.address(), 1000ms);
    EXPECT_EQ(answer.failure, NullReason::Kind::NotProvided);
    EXPECT_EQ(answer.source, "udisks (not running)");
    // A stopped udisks is not started for a query, even where the bus could:
    // an activation the call asked for would have shown within 200 ms.
    const auto until = std::chrono::steady_clock::now() + 200ms;
    while (!bus.started() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_FALSE(bus.started());

    TreeBuilder tree;
    buildDrives(tree, bus.address());
    const auto drives = enumerateTree(tree.root(), linuxprov::enumerateDiskDrives);
    ASSERT_EQ(drives.size(), 5u);
    EXPECT_EQ(shown(byId(drives, "/dev/sda"), prop::Status), "OK");
    const auto health = enumerateTree(tree.root(), linuxprov::enumerateDiskDriveHealth);
    const auto sda = byId(health, "/dev/sda");
    for (const char* property : {prop::SmartFailing, prop::PowerOnHours, prop::BadSectors,
                                 prop::HealthSource, prop::Temperature}) {
        EXPECT_EQ(reasonOf(sda, property), "not provided by this machine: udisks (not running)")
            << property;
        EXPECT_FALSE(sda->nullReason(property).remedy.empty()) << property;
    }
    // sdb's own sensor still answers.
    EXPECT_EQ(shown(byId(health, "/dev/sdb"), prop::Temperature), std::to_string(37.0));
}

// The real udisks daemon on the private bus, over this machine's tree: it
// answers, and each drive's health says what udisks had for it (the
// machine's virtual disk has no ATA SMART).
TEST(DiskHealthUdisks, RealUdisksdOnThisMachine) {
    TOLVEX_REQUIRE_PROGRAM(kUdisksd);
    PrivateBus bus;
    Child udisksd({kUdisksd}, bus.address());
    if (!bus.udisksAnswers()) {
        GTEST_SKIP() << "udisksd does not start here";
    }
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", bus.address().c_str(), 1);
    auto service = linuxprov::makeLinuxService("/");
    const auto drives = instances(*service, wmi::cls::DiskDrive);
    const auto health = instances(*service, wmi::cls::DiskDriveHealth);
    ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    ASSERT_EQ(health.size(), drives.size());
    for (const auto& drive : health) {
        const std::string id = shown(drive, prop::DeviceID);
        const std::string reason = reasonOf(drive, prop::SmartFailing);
        if (shown(drive, prop::SmartFailing) == "<null>") {
            EXPECT_TRUE(
                reason == "not provided by this machine: udisks (no drive for " + id + ")" ||
                reason == "not provided by this machine: udisks (no ATA SMART for " + id + ")" ||
                reason == "not provided by this machine: udisks (SMART not read yet)")
                << id << ": " << reason;
        }
        EXPECT_NE(shown(byId(drives, id), prop::Status), "<null>");
    }
}

}  // namespace
}  // namespace tolvex::testing
