// The host's own addresses on Linux: from scripted interface lists and
// resolver answers, and live inside network namespaces the tests make
// themselves (the machine's own interfaces are never touched).

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "net/OwnHostAddresses.h"
#include "net/modGetIPInfo.h"
#include "tests/support/RecordingScreen.h"

namespace {

using tolvex::HostEntry;
using tolvex::ownhost::InterfaceAddress;
using tolvex::testing::RecordingScreen;
namespace ownhost = tolvex::ownhost;
namespace ip = tolvex::modGetIPInfo;

InterfaceAddress iface(const char* name, bool up, bool loopback,
                       std::array<std::uint8_t, 4> address) {
    return InterfaceAddress{name, up, loopback, address};
}

HostEntry resolverAnswer(std::vector<std::vector<std::uint8_t>> addresses) {
    HostEntry entry;
    entry.h_length = 4;
    entry.h_addr_list = std::move(addresses);
    return entry;
}

std::vector<std::string> dotted(const std::optional<HostEntry>& entry) {
    std::vector<std::string> out;
    if (!entry) {
        out.push_back("<null answer>");
        return out;
    }
    for (const auto& a : entry->h_addr_list) {
        std::string text;
        for (std::size_t i = 0; i < a.size(); ++i) {
            text += (i ? "." : "") + std::to_string(a[i]);
        }
        out.push_back(text);
    }
    return out;
}

const auto kLo = iface("lo", true, true, {127, 0, 0, 1});

struct OwnCase {
    const char* name;
    std::optional<std::vector<InterfaceAddress>> interfaces;
    std::optional<HostEntry> resolved;
    std::vector<std::string> want;
};

const OwnCase kOwnCases[] = {
    // Debian's /etc/hosts: the name is 127.0.1.1; the interfaces know better.
    {"DebianHostsFile",
     std::vector{kLo, iface("enp3s0", true, false, {198, 51, 100, 7}),
                 iface("wlp2s0", true, false, {203, 0, 113, 9})},
     resolverAnswer({{127, 0, 1, 1}}),
     {"198.51.100.7", "203.0.113.9"}},
    {"InterfaceOrderKeptEachOnce",
     std::vector{iface("eth1", true, false, {203, 0, 113, 9}), kLo,
                 iface("eth0", true, false, {198, 51, 100, 7}),
                 iface("eth0:1", true, false, {203, 0, 113, 9})},
     std::nullopt,
     {"203.0.113.9", "198.51.100.7"}},
    {"DownInterfacesLeftOut",
     std::vector{kLo, iface("eth0", false, false, {192, 0, 2, 1}),
                 iface("eth1", true, false, {198, 51, 100, 7})},
     std::nullopt,
     {"198.51.100.7"}},
    // Then what the resolver adds that is neither loopback nor listed.
    {"ResolverAddsOthersAfterTheInterfaces",
     std::vector{kLo, iface("eth0", true, false, {198, 51, 100, 7})},
     resolverAnswer({{127, 0, 1, 1}, {198, 51, 100, 7}, {192, 0, 2, 44}}),
     {"198.51.100.7", "192.0.2.44"}},
    {"OnlyLoopbackWhenNothingElseIsThere",
     std::vector{kLo},
     resolverAnswer({{127, 0, 1, 1}}),
     {"127.0.0.1"}},
    // An address on the loopback interface is loopback whatever it is.
    {"AddressesOnLoopbackCountAsLoopback",
     std::vector{kLo, iface("lo", true, true, {192, 0, 2, 80})},
     std::nullopt,
     {"127.0.0.1", "192.0.2.80"}},
    {"ResolverOnlyWhenNoInterfaceIsUp",
     std::vector{iface("eth0", false, false, {192, 0, 2, 1})},
     resolverAnswer({{127, 0, 1, 1}}),
     {"127.0.1.1"}},
    {"NoInterfaceListFallsBackToTheResolver",
     std::nullopt,
     resolverAnswer({{127, 0, 1, 1}, {192, 0, 2, 3}}),
     {"192.0.2.3"}},
    {"NothingAnywhereIsTheNullAnswer",
     std::vector<InterfaceAddress>{},
     std::nullopt,
     {"<null answer>"}},
    // A resolver answer of another length is not read as IPv4.
    {"OddResolverEntriesIgnored",
     std::vector{kLo, iface("eth0", true, false, {198, 51, 100, 7})},
     resolverAnswer({{1, 2, 3}, {192, 0, 2, 9, 9}}),
     {"198.51.100.7"}},
};

// Each case shows by its name (in test names and failures), not its bytes.
void PrintTo(const OwnCase& c, std::ostream* os) {
    *os << c.name;
}

class OwnHostEntry : public ::testing::TestWithParam<OwnCase> {};

TEST_P(OwnHostEntry, InterfacesFirstThenTheResolver) {
    const OwnCase& c = GetParam();
    EXPECT_EQ(dotted(ownhost::ownHostEntry(c.interfaces, c.resolved)), c.want);
}

INSTANTIATE_TEST_SUITE_P(Scripted, OwnHostEntry, ::testing::ValuesIn(kOwnCases),
                         [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST(OwnHostName, ComparedWithoutCase) {
    EXPECT_TRUE(ownhost::isOwnHostName("Build-Host", "build-host"));
    EXPECT_FALSE(ownhost::isOwnHostName("build-host.example", "build-host"));
    EXPECT_FALSE(ownhost::isOwnHostName("localhost", "build-host"));
    EXPECT_FALSE(ownhost::isOwnHostName("", ""));
}

// --- Live, in a network namespace of the test's own. --------------------

struct NamespaceRun {
    bool ran = false;
    std::string skipReason;
    std::vector<std::string> addresses;  // what lstIPAddr received
    std::vector<std::string> boxes;
    std::map<std::string, unsigned> indexes;  // interface name -> index
};

constexpr int kCannotUnshare = 70, kCannotMount = 71, kCannotConfigure = 72;

// Runs DetectIPAddresses in a child process inside new network and host-name
// namespaces (and a mount namespace when a hosts file is given, bound over
// /etc/hosts there only). `script` builds the interfaces with ip(8).
NamespaceRun detectInNamespace(const std::string& hostName, const std::string& script,
                               const std::vector<std::string>& interfaceNames,
                               const std::string& hostsFile = "") {
    NamespaceRun run;
    if (::access("/usr/sbin/ip", X_OK) != 0 && ::access("/sbin/ip", X_OK) != 0) {
        run.skipReason = "ip(8) is not installed";
        return run;
    }
    int fds[2];
    if (::pipe(fds) != 0) {
        run.skipReason = "no pipe";
        return run;
    }
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        const int flags = CLONE_NEWNET | CLONE_NEWUTS | (hostsFile.empty() ? 0 : CLONE_NEWNS);
        if (::unshare(flags) != 0) {
            ::_exit(kCannotUnshare);
        }
        if (::sethostname(hostName.data(), hostName.size()) != 0) {
            ::_exit(kCannotUnshare);
        }
        if (!hostsFile.empty() &&
            (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
             ::mount(hostsFile.c_str(), "/etc/hosts", nullptr, MS_BIND, nullptr) != 0)) {
            ::_exit(kCannotMount);
        }
        const std::string quiet = "set -e; exec >/dev/null 2>&1; " + script;
        if (std::system(quiet.c_str()) != 0) {
            ::_exit(kCannotConfigure);
        }
        std::string report;
        for (const auto& name : interfaceNames) {
            report += "INDEX " + name + " " + std::to_string(::if_nametoindex(name.c_str())) + "\n";
        }
        RecordingScreen screen;
        ip::DetectIPAddresses(tolvex::platformSockets(), screen);
        for (const auto& line : screen.lists["lstIPAddr"]) {
            report += "ADDR " + line + "\n";
        }
        for (const auto& box : screen.boxes) {
            report += "BOX " + box.text + "\n";
        }
        const char* at = report.data();
        std::size_t left = report.size();
        while (left > 0) {
            const ssize_t n = ::write(fds[1], at, left);
            if (n <= 0) {
                break;
            }
            at += n;
            left -= static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    if (child < 0) {
        ::close(fds[0]);
        run.skipReason = "cannot fork";
        return run;
    }
    std::string output;
    char buffer[1024];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) {
        output.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (code == kCannotUnshare) {
        run.skipReason = "cannot create network namespaces here (needs root)";
        return run;
    }
    if (code == kCannotMount) {
        run.skipReason = "cannot bind a hosts file in a mount namespace here";
        return run;
    }
    if (code == kCannotConfigure) {
        run.skipReason = "cannot create veth interfaces in the namespace";
        return run;
    }
    run.ran = code == 0;
    std::istringstream lines(output);
    std::string kind;
    while (lines >> kind) {
        std::string rest;
        std::getline(lines, rest);
        rest.erase(0, rest.find_first_not_of(' '));
        if (kind == "ADDR") {
            run.addresses.push_back(rest);
        } else if (kind == "BOX") {
            run.boxes.push_back(rest);
        } else if (kind == "INDEX") {
            const auto blank = rest.find(' ');
            run.indexes[rest.substr(0, blank)] =
                static_cast<unsigned>(std::stoul(rest.substr(blank + 1)));
        }
    }
    return run;
}

// Two interfaces that are up, one that is down.
const char* const kVethScript =
    "ip link set lo up; "
    "ip link add tva type veth peer name tvb; "
    "ip addr add 198.51.100.7/24 dev tva; ip addr add 203.0.113.9/24 dev tvb; "
    "ip link set tva up; ip link set tvb up; "
    "ip link add tvc type veth peer name tvd; ip addr add 192.0.2.9/24 dev tvc";

TEST(OwnHostAddressesLive, TheNamespacesInterfacesAndNoLoopback) {
    const NamespaceRun run = detectInNamespace("tolvex-ns-host", kVethScript, {"tva", "tvb"});
    if (!run.skipReason.empty()) {
        GTEST_SKIP() << run.skipReason;
    }
    ASSERT_TRUE(run.ran);
    EXPECT_TRUE(run.boxes.empty());
    // In the order of the interfaces' indexes.
    std::vector<std::string> want = {"198.51.100.7", "203.0.113.9"};
    if (run.indexes.at("tvb") < run.indexes.at("tva")) {
        std::swap(want[0], want[1]);
    }
    EXPECT_EQ(run.addresses, want);
}

TEST(OwnHostAddressesLive, OnlyLoopbackWhenTheNamespaceHasNothingElse) {
    const NamespaceRun run = detectInNamespace("tolvex-ns-host", "ip link set lo up", {});
    if (!run.skipReason.empty()) {
        GTEST_SKIP() << run.skipReason;
    }
    ASSERT_TRUE(run.ran);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.addresses, std::vector<std::string>{"127.0.0.1"});
}

// With a hosts file that maps the name as Debian does, plus one more
// address: loopback is dropped, the other address follows the interfaces.
TEST(OwnHostAddressesLive, ResolverAddressesFollowTheInterfaces) {
    char pattern[] = "/tmp/tolvex-hosts-XXXXXX";
    const int fd = ::mkstemp(pattern);
    ASSERT_GE(fd, 0);
    ::close(fd);
    std::ofstream(pattern) << "127.0.0.1 localhost\n127.0.1.1 tolvex-ns-host\n"
                              "192.0.2.200 tolvex-ns-host\n";
    const NamespaceRun run = detectInNamespace("tolvex-ns-host",
                                               "ip link set lo up; ip link add tva type veth peer "
                                               "name tvb; ip addr add 198.51.100.7/24 dev tva; "
                                               "ip link set tva up",
                                               {}, pattern);
    std::filesystem::remove(pattern);
    if (!run.skipReason.empty()) {
        GTEST_SKIP() << run.skipReason;
    }
    ASSERT_TRUE(run.ran);
    EXPECT_EQ(run.addresses, (std::vector<std::string>{"198.51.100.7", "192.0.2.200"}));
}

}  // namespace
