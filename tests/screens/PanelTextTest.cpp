#include <gtest/gtest.h>

#include <map>

#include "ui/PanelText.h"

namespace tolvex::ui {
namespace {

// Widgets as a front end would read them back; labels not set show "...".
struct Reader : PanelReader {
    std::map<std::string, std::string, std::less<>> labels, chosen;
    std::map<std::string, std::vector<std::vector<std::string>>, std::less<>> lists;

    std::string labelText(std::string_view label) const override {
        const auto it = labels.find(label);
        if (it != labels.end()) {
            return it->second;
        }
        const Element* element = findElement(frmMainDefinition(), label);
        return element ? element->text : "?";
    }
    std::string chosenItem(std::string_view selector) const override {
        const auto it = chosen.find(selector);
        return it != chosen.end() ? it->second : "";
    }
    std::vector<std::vector<std::string>> rows(std::string_view list) const override {
        const auto it = lists.find(list);
        return it != lists.end() ? it->second : std::vector<std::vector<std::string>>{};
    }
};

TEST(PanelText, NetworkPanelInScreenOrder) {
    Reader reader;
    reader.labels = {{"lblNICCount", "2 network adapter device(s) detected."},
                     {"lblNICManufacturer", "Intel\nCorporation"},
                     {"lblNICMACAddr", "52:54:00:12:34:56"}};
    reader.chosen = {{"cboNIC", "eth0"}};
    reader.lists = {{"lstIPAddr", {{"192.168.1.10"}, {"fe80::1"}}}};
    EXPECT_EQ(panelText(frmMainDefinition(), "frSections(4)", reader),
              "Network Adapters\n"
              "2 network adapter device(s) detected.\n"
              "Select a network adapter to view information on: eth0\n"
              "\n"
              "Details\n"
              "Manufacturer: Intel Corporation\n"
              "Adapter Type: ...\n"
              "Device ID: ...\n"
              "MAC Address: 52:54:00:12:34:56\n"
              "\n"
              "System IP addresses:\n"
              "192.168.1.10\n"
              "fe80::1\n");
}

TEST(PanelText, DriveListAsTabSeparatedRowsWithCrLf) {
    Reader reader;
    reader.lists = {
        {"lvDrives", {{"/", "29000", "12000", "41"}, {"/mnt/a\tb", "100", "50", "50"}}}};
    reader.labels = {{"lblDRVVolName", "root"}};
    EXPECT_EQ(panelText(frmMainDefinition(), "frSections(7)", reader, "\r\n"),
              "System's Logical Drives\r\n"
              "\r\n"
              "Drive\tCapacity (MB)\tFree Space (MB)\t% Free\r\n"
              "/\t29000\t12000\t41\r\n"
              "/mnt/a b\t100\t50\t50\r\n"
              "\r\n"
              "Drive Details\r\n"
              "Volume Name: root\r\n"
              "Serial #: ...\r\n"
              "Type: ...\r\n"
              "File System: ...\r\n"
              "Compressed: ...\r\n");
}

TEST(PanelText, SideBySideFieldsReadRowByRowAndUncaptionedFieldsTakeTheirNames) {
    Reader reader;
    reader.chosen = {{"cboMem", "DIMM 0"}};
    const std::string cpu = panelText(frmMainDefinition(), "frSections(1)", reader);
    EXPECT_NE(cpu.find("\nPhysical Info\nVoltage: ...\nExt Clock: ...\nAddress Bus: ...\n"
                       "Speed: ...\nData Bus: ...\nMAX Speed: ...\n"),
              std::string::npos)
        << cpu;
    EXPECT_NE(cpu.find("\nStatus: ...\nStatus (continued): ...\nAvailability: ...\n"),
              std::string::npos);
    EXPECT_EQ(panelText(frmMainDefinition(), "frSections(3)", reader).substr(0, 32),
              "Main Memory\nMemory bank: DIMM 0\n");
}

}  // namespace
}  // namespace tolvex::ui
