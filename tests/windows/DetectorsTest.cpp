// The section detectors over Wine's management service, with the recording
// screen in place of the window.
#include <gtest/gtest.h>

#include <regex>

#include "sections/Detectors.h"
#include "tests/support/RecordingScreen.h"
#include "wmi/Management.h"

namespace {

using tolvex::testing::RecordingScreen;

struct Fixture {
    RecordingScreen screen;
    tolvex::MainState state;
    tolvex::NumberFormat format = tolvex::NumberFormat::point();
    tolvex::SectionContext context{screen, state, format};

    Fixture() {
        state.ManagementService = tolvex::Connect("WinMgmts:");
        tolvex::connectSelectorHandlers(context);
    }
};

// Passes everything through to the real service, except that every property
// read asks the real instance for a property its class does not have.
class MisspeltObject : public tolvex::ManagementObject {
  public:
    explicit MisspeltObject(tolvex::ObjectPtr real) : m_real(std::move(real)) {}
    std::string path() const override { return m_real->path(); }
    tolvex::ManagementValue property(std::string_view name) const override {
        return m_real->property("NoSuch" + std::string(name));
    }
    std::vector<std::string> propertyNames() const override { return m_real->propertyNames(); }

  private:
    tolvex::ObjectPtr m_real;
};

class MisspeltEnumerator : public tolvex::ObjectEnumerator {
  public:
    explicit MisspeltEnumerator(std::unique_ptr<tolvex::ObjectEnumerator> real)
        : m_real(std::move(real)) {}
    tolvex::ObjectPtr next() override {
        auto object = m_real->next();
        return object ? std::make_shared<MisspeltObject>(object) : nullptr;
    }

  private:
    std::unique_ptr<tolvex::ObjectEnumerator> m_real;
};

class MisspeltSet : public tolvex::ManagementObjectSet {
  public:
    explicit MisspeltSet(tolvex::ObjectSetPtr real) : m_real(std::move(real)) {}
    std::int32_t count() const override { return m_real->count(); }
    std::unique_ptr<tolvex::ObjectEnumerator> enumerate() const override {
        return std::make_unique<MisspeltEnumerator>(m_real->enumerate());
    }
    tolvex::ObjectPtr item(const std::string& path, int flags) const override {
        return std::make_shared<MisspeltObject>(m_real->item(path, flags));
    }

  private:
    tolvex::ObjectSetPtr m_real;
};

class MisspeltService : public tolvex::ManagementService {
  public:
    explicit MisspeltService(tolvex::ServicePtr real) : m_real(std::move(real)) {}
    tolvex::ObjectSetPtr instancesOf(std::string_view className, int flags) override {
        return std::make_shared<MisspeltSet>(m_real->instancesOf(className, flags));
    }

  private:
    tolvex::ServicePtr m_real;
};

TEST(WinDetectors, DetectOSFillsCaptionAndMemoryTotals) {
    Fixture f;
    tolvex::DetectOS(f.context);
    EXPECT_TRUE(f.screen.boxes.empty());
    EXPECT_NE(f.screen.text("lblOSName"), "...");
    EXPECT_FALSE(f.screen.text("lblOSName").empty());
    // Kilobytes, grouped with the point format's separator.
    const std::regex kilobytes("[1-9][0-9]{0,2}(,[0-9]{3})* KB");
    EXPECT_TRUE(std::regex_match(f.screen.text("lblMEMTotPhys"), kilobytes))
        << f.screen.text("lblMEMTotPhys");
    EXPECT_TRUE(std::regex_match(f.screen.text("lblMEMAvailPhys"), kilobytes))
        << f.screen.text("lblMEMAvailPhys");
}

TEST(WinDetectors, DetectSystemCPUsCountsAndSelectsTheFirst) {
    Fixture f;
    tolvex::DetectSystemCPUs(f.context);
    EXPECT_TRUE(f.screen.boxes.empty()) << f.screen.boxes[0].text;
    const int count = f.screen.itemCount("cboCPUs");
    ASSERT_GE(count, 1);
    EXPECT_EQ(f.screen.text("lblCPUCount"), std::to_string(count) + " processor(s) detected.");
    EXPECT_EQ(f.screen.selectedIndex("cboCPUs"), 0);
    EXPECT_EQ(f.state.cpu.InstancePathList.size(), static_cast<std::size_t>(count));
    EXPECT_NE(f.screen.text("lblManufacturer"), "...");
    EXPECT_TRUE(std::regex_match(f.screen.text("lblCPUMaxSpeed"), std::regex("[0-9]+ MHz")))
        << f.screen.text("lblCPUMaxSpeed");
}

TEST(WinDetectors, SelectionFetchesTheInstanceAgainByPath) {
    Fixture f;
    tolvex::DetectSystemCPUs(f.context);
    ASSERT_GE(f.screen.itemCount("cboCPUs"), 1);
    const std::string id = f.screen.text("lblCPUID");
    // Wipe the field and choose the first processor again: the handler must
    // look it up by its path and fill the field anew.
    f.screen.setText("lblCPUID", "...");
    f.screen.setSelectedIndex("cboCPUs", 0);
    EXPECT_EQ(f.screen.text("lblCPUID"), id);
    EXPECT_NE(id, "...");
}

TEST(WinDetectors, DetectDRVsListsTheDrivesWithSizes) {
    Fixture f;
    tolvex::DetectDRVs(f.context);
    EXPECT_TRUE(f.screen.boxes.empty());
    const auto& rows = f.screen.rows["lvDrives"];
    ASSERT_FALSE(rows.empty());
    bool sized = false;
    for (const auto& row : rows) {
        EXPECT_TRUE(std::regex_match(row.columns[0], std::regex("[A-Z]:"))) << row.columns[0];
        if (std::regex_match(row.columns[1], std::regex("[0-9]+\\.[0-9]{2}"))) {
            sized = true;
        }
    }
    EXPECT_TRUE(sized) << "no drive with a capacity";
    // A click on the first row shows its details.
    f.screen.clickRow("lvDrives", 1);
    EXPECT_NE(f.screen.text("lblDRVSerial"), "...");
}

TEST(WinDetectors, FailedQueryReportsDetectionErrorWithWords) {
    Fixture f;
    f.state.ManagementService = std::make_shared<MisspeltService>(f.state.ManagementService);
    tolvex::DetectSystemCPUs(f.context);
    ASSERT_EQ(f.screen.boxes.size(), 1u);
    const auto& box = f.screen.boxes[0];
    EXPECT_EQ(box.title, "Detection Error");
    EXPECT_EQ(box.style, 64);
    // The count was written before the first item's Name failed.
    EXPECT_NE(f.screen.text("lblCPUCount"), "...");
    EXPECT_EQ(f.screen.itemCount("cboCPUs"), 0);
    const std::string prefix = "Unable to detect CPU(s).";
    ASSERT_EQ(box.text.rfind(prefix, 0), 0u) << box.text;
    const std::string description = box.text.substr(prefix.size());
    EXPECT_TRUE(std::regex_search(description, std::regex("[A-Za-z]{3,}"))) << box.text;
}

}  // namespace
