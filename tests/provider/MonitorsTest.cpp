#include <gtest/gtest.h>

#include <fstream>

#include "TreeBuilder.h"
#include "wmi/WmiNames.h"

namespace tolvex::testing {
namespace {

namespace prop = wmi::prop;

std::string edidBytes(const std::string& name) {
    std::ifstream in(std::string(TOLVEX_SOURCE_DIR) + "/tests/data/edid/" + name);
    std::string bytes;
    std::string hex;
    while (in >> hex) {
        bytes.push_back(static_cast<char>(std::stoi(hex, nullptr, 16)));
    }
    return bytes;
}

// One connector of card0, as the kernel lays it out: the folder under the
// PCI device and the link in /sys/class/drm.
void connector(TreeBuilder& tree, const std::string& name, const char* status,
               const std::string& edid, const char* enabled = nullptr) {
    const std::string dir = "/sys/devices/pci0000:00/0000:00:02.0/drm/card0/" + name;
    tree.file(dir + "/status", std::string(status) + "\n").file(dir + "/edid", edid);
    if (enabled) {
        tree.file(dir + "/enabled", std::string(enabled) + "\n");
    }
    tree.link("/sys/class/drm/" + name, "../../devices/pci0000:00/0000:00:02.0/drm/card0/" + name);
}

// Which connectors are monitors, and the state of each: the identity itself
// is the decoder's (EdidIdentityTest); here, that each connector's own EDID
// is the one read.
TEST(Monitors, OnePerConnectorWithAMonitor) {
    TreeBuilder tree;
    connector(tree, "card0-HDMI-A-1", "connected", edidBytes("dell-d1918h.hex"), "enabled");
    connector(tree, "card0-DP-1", "disconnected", "", "disabled");  // an empty port
    connector(tree, "card0-DP-2", "disconnected", edidBytes("aoc-1619w.hex"), "disabled");
    connector(tree, "card0-VGA-1", "connected", "");  // no EDID; no "enabled" file
    connector(tree, "card0-eDP-1", "connected", edidBytes("auo-103d-panel.hex"), "disabled");
    tree.dir("/sys/class/drm/card0").file("/sys/class/drm/version", "drm 1.1.0 20060810\n");

    const auto monitors = enumerateTree(tree.root(), linuxprov::enumerateMonitors);
    ASSERT_EQ(monitors.size(), 4u);
    const struct {
        const char* instance;
        const char* active;
        const char* maker;
        const char* serial;
    } expected[] = {
        {"card0-DP-2", "false", "AOC", "16843009"},  // bytes read, monitor now gone
        {"card0-HDMI-A-1", "true", "DEL", "2C8FJ8255K5E"},
        {"card0-VGA-1", "true", "<null>", "<null>"},
        {"card0-eDP-1", "false", "AUO", "<null>"},  // connected, switched off
    };
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        SCOPED_TRACE(expected[i].instance);
        EXPECT_EQ(shown(monitors[i], prop::InstanceName), expected[i].instance);
        EXPECT_EQ(shown(monitors[i], prop::Active), expected[i].active);
        EXPECT_EQ(shown(monitors[i], prop::ManufacturerName), expected[i].maker);
        EXPECT_EQ(shown(monitors[i], prop::SerialNumberID), expected[i].serial);
    }
    EXPECT_EQ(monitors[1]->path(),
              "\\\\TESTHOST\\root\\wmi:WmiMonitorID.InstanceName=\"card0-HDMI-A-1\"");
    const NullReason noEdid = monitors[2]->nullReason(prop::ManufacturerName);
    EXPECT_EQ(noEdid.kind, NullReason::Kind::NotProvided);
    EXPECT_EQ(noEdid.source, "/sys/class/drm/card0-VGA-1/edid (empty)");
}

}  // namespace
}  // namespace tolvex::testing
