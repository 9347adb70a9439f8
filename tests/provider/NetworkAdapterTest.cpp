#include <gtest/gtest.h>

#include "TreeBuilder.h"
#include "wmi/WmiNames.h"
#include "wmi/linux/NetworkFacts.h"

namespace tolvex::testing {
namespace {

namespace prop = wmi::prop;
using linuxprov::enumerateNetworkAdapters;

struct Expected {
    const char* connection;
    const char* name;
    const char* deviceId;
    const char* type;
    const char* manufacturer;
    const char* mac;
};

void expectAdapters(const std::vector<ObjectPtr>& adapters, const std::vector<Expected>& expected) {
    ASSERT_EQ(adapters.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].connection);
        EXPECT_EQ(shown(adapters[i], prop::NetConnectionID), expected[i].connection);
        EXPECT_EQ(shown(adapters[i], prop::Name), expected[i].name);
        EXPECT_EQ(shown(adapters[i], prop::DeviceID), expected[i].deviceId);
        EXPECT_EQ(shown(adapters[i], prop::AdapterType), expected[i].type);
        EXPECT_EQ(shown(adapters[i], prop::Manufacturer), expected[i].manufacturer);
        EXPECT_EQ(shown(adapters[i], prop::MACAddress), expected[i].mac);
        // The path finds the instance again.
        EXPECT_NE(adapters[i]->path().find("DeviceID=\"" + std::string(expected[i].deviceId)),
                  std::string::npos);
    }
}

// From the captured files: eth0/eth1 are PCI 8086:1521 (type 1, ifindex 2
// and 3), ib0 is 15b3:1003 (type 32, a 20-byte address, ifindex 5); br0,
// eth0.1015, lo and mic0 were captured as bare links. Names as pci.ids
// lists those IDs.
TEST(CapturedNetworkAdapters, DellServerListsEveryInterface) {
    const std::string root = capturedTree("hwloc/32em64t-2n8c+dax+nvme+mic+dimms.tar.bz2");
    TOLVEX_REQUIRE_CAPTURE(root);
    expectAdapters(enumerateTree(root, enumerateNetworkAdapters),
                   {
                       {"eth0", "I350 Gigabit Network Connection", "2", "Ethernet 802.3",
                        "Intel Corporation", "84:8F:69:FE:CC:40"},
                       {"eth1", "I350 Gigabit Network Connection #2", "3", "Ethernet 802.3",
                        "Intel Corporation", "84:8F:69:FE:CC:41"},
                       {"ib0", "MT27500 Family [ConnectX-3]", "5", "<null>",
                        "Mellanox Technologies", "<null>"},
                       {"br0", "br0", "br0", "<null>", "<null>", "<null>"},
                       {"eth0.1015", "eth0.1015", "eth0.1015", "<null>", "<null>", "<null>"},
                       {"lo", "lo", "lo", "<null>", "<null>", "<null>"},
                       {"mic0", "mic0", "mic0", "<null>", "<null>", "<null>"},
                   });
}

TEST(CapturedNetworkAdapters, SupermicroServer) {
    const std::string root = capturedTree("hwloc/32intel64-2p8co2t+8ve.tar.bz2");
    TOLVEX_REQUIRE_CAPTURE(root);
    expectAdapters(enumerateTree(root, enumerateNetworkAdapters),
                   {
                       {"enp96s0f0", "Ethernet Connection X722 for 10GBASE-T", "2",
                        "Ethernet 802.3", "Intel Corporation", "AC:1F:6B:8A:5F:C8"},
                       {"enp96s0f1", "Ethernet Connection X722 for 10GBASE-T #2", "3",
                        "Ethernet 802.3", "Intel Corporation", "AC:1F:6B:8A:5F:C9"},
                   });
}

void addInterface(TreeBuilder& tree, const std::string& name, const std::string& index,
                  const std::string& type, const std::string& address) {
    const std::string dir = "/sys/devices/virtual/net/" + name;
    tree.file(dir + "/ifindex", index + "\n")
        .file(dir + "/type", type + "\n")
        .file(dir + "/address", address + "\n")
        .link("/sys/class/net/" + name, "../../devices/virtual/net/" + name);
}

// USB and virtio adapters take their IDs from the parent device; virtual
// interfaces keep their own names. 0bda:8153 is listed in usb.ids as
// "RTL8153 Gigabit Ethernet Adapter" by "Realtek Semiconductor Corp.";
// 1af4:1041 in pci.ids as "Virtio 1.0 network device" by "Red Hat, Inc.".
TEST(NetworkAdapters, UsbVirtioAndVirtualInterfaces) {
    TreeBuilder tree;
    addInterface(tree, "lo", "1", "772", "00:00:00:00:00:00");
    addInterface(tree, "sit0", "4", "776", "0.0.0.0");
    addInterface(tree, "wg0", "12", "65534", "");
    // USB: the net device sits under the interface 1-2:1.0 of device 1-2.
    tree.file("/sys/devices/usb1/1-2/idVendor", "0bda\n")
        .file("/sys/devices/usb1/1-2/idProduct", "8153\n")
        .dir("/sys/bus/usb")
        .link("/sys/devices/usb1/1-2/1-2:1.0/subsystem", "../../../../bus/usb")
        .file("/sys/devices/usb1/1-2/1-2:1.0/net/enx1/ifindex", "3\n")
        .file("/sys/devices/usb1/1-2/1-2:1.0/net/enx1/type", "1\n")
        .file("/sys/devices/usb1/1-2/1-2:1.0/net/enx1/address", "00:e0:4c:68:00:1a\n")
        .link("/sys/devices/usb1/1-2/1-2:1.0/net/enx1/device", "../../../1-2:1.0")
        .link("/sys/class/net/enx1", "../../devices/usb1/1-2/1-2:1.0/net/enx1");
    // virtio: virtio0 under the PCI function 0000:00:03.0.
    const std::string pci = "/sys/devices/pci0000:00/0000:00:03.0";
    tree.file(pci + "/vendor", "0x1af4\n")
        .file(pci + "/device", "0x1041\n")
        .file(pci + "/class", "0x020000\n")
        .dir("/sys/bus/virtio")
        .link(pci + "/virtio0/subsystem", "../../../../bus/virtio")
        .file(pci + "/virtio0/net/eth0/ifindex", "2\n")
        .file(pci + "/virtio0/net/eth0/type", "1\n")
        .file(pci + "/virtio0/net/eth0/address", "52:54:00:ab:cd:ef\n")
        .link(pci + "/virtio0/net/eth0/device", "../../../virtio0")
        .link("/sys/class/net/eth0", "../../devices/pci0000:00/0000:00:03.0/virtio0/net/eth0");

    expectAdapters(enumerateTree(tree.root(), enumerateNetworkAdapters),
                   {
                       {"lo", "lo", "1", "<null>", "<null>", "<null>"},
                       {"eth0", "Virtio 1.0 network device", "2", "Ethernet 802.3", "Red Hat, Inc.",
                        "52:54:00:AB:CD:EF"},
                       {"enx1", "RTL8153 Gigabit Ethernet Adapter", "3", "Ethernet 802.3",
                        "Realtek Semiconductor Corp.", "00:E0:4C:68:00:1A"},
                       {"sit0", "sit0", "4", "Tunnel", "<null>", "<null>"},
                       {"wg0", "wg0", "12", "Tunnel", "<null>", "<null>"},
                   });
}

TEST(NetworkAdapters, NoInterfaceFolderMeansNoAdapters) {
    TreeBuilder tree;
    EXPECT_TRUE(enumerateTree(tree.root(), enumerateNetworkAdapters).empty());
}

TEST(MacAddress, ServiceForm) {
    const std::pair<const char*, const char*> cases[] = {
        {"84:8f:69:fe:cc:40\n", "84:8F:69:FE:CC:40"},
        {"00:00:00:00:00:00", ""},
        {"", ""},
        {"0.0.0.0", ""},
        {"84:8f:69:fe:cc", ""},
        {"84:8f:69:fe:cc:40:", ""},
        {"84:8f:69:fe:cc:4g", ""},
        {"80:00:00:48:fe:80:00:00:00:00:00:00:00:02:c9:03:00:f9:bf:a1", ""},
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(linuxprov::macAddress(input).value_or(""), expected) << input;
    }
}

}  // namespace
}  // namespace tolvex::testing
