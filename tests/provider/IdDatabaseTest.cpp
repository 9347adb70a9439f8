#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "wmi/linux/PciNames.h"
#include "wmi/linux/SysText.h"

namespace tolvex::linuxprov {
namespace {

// A database file in a temporary directory, removed with the test.
class IdFile {
  public:
    explicit IdFile(const std::string& content) {
        m_path = (std::filesystem::temp_directory_path() /
                  ("tolvex-ids-" + std::to_string(::getpid()) + "-" + std::to_string(++s_count)))
                     .string();
        std::ofstream(m_path, std::ios::binary) << content;
    }
    ~IdFile() { std::remove(m_path.c_str()); }
    const std::string& path() const { return m_path; }

  private:
    static inline int s_count = 0;
    std::string m_path;
};

const std::string kSorted =
    "# comment line\n"
    "#\tcomment with a tab\n"
    "0001  SafeNet (wrong ID)\n"
    "0010  Allied Telesis, Inc (Wrong ID)\n"
    "\t8139  AT-2500TX V3 Ethernet\n"
    "1000  Broadcom / LSI\n"
    "\t0001  53c810\n"
    "\t\t1000 1000  LSI53C810AE PCI to SCSI I/O Processor\n"
    "# a comment inside the block\n"
    "\t0097  SAS3008 PCI-Express Fusion-MPT SAS-3\n"
    "1af4  Red Hat, Inc.\n"
    "\t1041  Virtio 1.0 network device\n"
    "8086  Intel Corporation\n"
    "\t1572  Ethernet Controller X710 for 10GbE SFP+\n"
    "ffff  Illegal Vendor ID\n"
    "\n"
    "C 00  Unclassified device\n"
    "\t00  Non-VGA unclassified device\n";

struct Lookup {
    std::uint16_t vendor;
    std::optional<std::uint16_t> product;  // no value: ask for the vendor's name
    std::optional<std::string> expected;
};

TEST(IdDatabaseTest, FindsVendorsAndProductsAnywhereInTheFile) {
    const IdFile file(kSorted);
    const Lookup lookups[] = {
        {0x0001, std::nullopt, "SafeNet (wrong ID)"},  // the first vendor
        {0xffff, std::nullopt, "Illegal Vendor ID"},   // the last, before the classes
        {0x1af4, std::nullopt, "Red Hat, Inc."},
        {0x1af4, 0x1041, "Virtio 1.0 network device"},
        {0x0010, 0x8139, "AT-2500TX V3 Ethernet"},
        {0x1000, 0x0097, "SAS3008 PCI-Express Fusion-MPT SAS-3"},  // after a comment
        {0x1000, 0x1000, std::nullopt},                            // a subsystem line is no product
        {0x8086, 0x1572, "Ethernet Controller X710 for 10GbE SFP+"},
        {0x8086, 0x1041, std::nullopt},        // another vendor's product
        {0x0000, std::nullopt, std::nullopt},  // below every vendor
        {0x1234, std::nullopt, std::nullopt},  // between two vendors
        {0x0c00, std::nullopt, std::nullopt},  // "C 00" is a class, not a vendor
    };
    IdDatabase db({file.path()});
    for (const auto& lookup : lookups) {
        const auto name = lookup.product ? db.productName(lookup.vendor, *lookup.product)
                                         : db.vendorName(lookup.vendor);
        EXPECT_EQ(name, lookup.expected) << std::hex << lookup.vendor;
    }
}

TEST(IdDatabaseTest, ReadsFilesOutOfOrderAndWithCarriageReturns) {
    const IdFile unsorted(
        "8086  Intel Corporation\n\t1572  X710\n0010  Allied Telesis\n1af4  Red Hat, Inc.\n");
    IdDatabase db({unsorted.path()});
    EXPECT_EQ(db.vendorName(0x0010), "Allied Telesis");
    EXPECT_EQ(db.productName(0x8086, 0x1572), "X710");
    EXPECT_EQ(db.vendorName(0x1af4), "Red Hat, Inc.");

    const IdFile crlf("1000  Broadcom / LSI\r\n\t0097  SAS3008\r\n1af4  Red Hat, Inc.\r\n");
    IdDatabase windowsLines({crlf.path()});
    EXPECT_EQ(windowsLines.productName(0x1000, 0x0097), "SAS3008");
    EXPECT_EQ(windowsLines.vendorName(0x1af4), "Red Hat, Inc.");
}

TEST(IdDatabaseTest, MissingOrEmptyFilesNameNothingAndTheFirstReadableFileWins) {
    const IdFile empty("");
    const IdFile second("1af4  Red Hat, Inc.\n");
    IdDatabase missing({"/nonexistent/pci.ids"});
    EXPECT_EQ(missing.vendorName(0x1af4), std::nullopt);
    IdDatabase emptyFirst({empty.path(), second.path()});
    EXPECT_EQ(emptyFirst.vendorName(0x1af4), std::nullopt);
    IdDatabase fallsThrough({"/nonexistent/pci.ids", second.path()});
    EXPECT_EQ(fallsThrough.vendorName(0x1af4), "Red Hat, Inc.");
}

// Every vendor of the system's own databases is found by the search, with
// the name its line gives.
TEST(IdDatabaseTest, FindsEveryVendorOfTheSystemDatabases) {
    int checked = 0;
    for (const char* path : {"/usr/share/misc/pci.ids", "/usr/share/misc/usb.ids"}) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            continue;
        }
        IdDatabase db({path});
        std::string line;
        while (std::getline(in, line)) {
            if (line.size() < 7 || line[4] != ' ' || line[0] == '\t' || line[0] == '#' ||
                line.find_first_not_of("0123456789abcdef") < 4) {
                continue;
            }
            const auto id = static_cast<std::uint16_t>(std::stoul(line.substr(0, 4), nullptr, 16));
            const std::string expected = text::cleanText(text::trimmed(line.substr(4)));
            ASSERT_EQ(db.vendorName(id), expected) << path << ": " << line;
            ++checked;
        }
    }
    if (checked == 0) {
        GTEST_SKIP() << "no pci.ids or usb.ids on this machine";
    }
}

}  // namespace
}  // namespace tolvex::linuxprov
