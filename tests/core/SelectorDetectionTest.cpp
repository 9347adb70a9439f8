// The detection and selection pattern shared by the sections with a
// selector, exercised through the processor section.
#include <gtest/gtest.h>

#include "tests/support/SectionHarness.h"
#include "wmi/Failure.h"

namespace tolvex::testing {
namespace {

using Call = InMemoryService::Call;

std::string cpuPath(int n) {
    return "\\\\HOST\\root\\cimv2:Win32_Processor.DeviceID=\"CPU" + std::to_string(n) + "\"";
}

InMemoryService::Properties cpu(const std::string& name, std::int64_t speed) {
    return {{"Name", text(name.c_str())}, {"CurrentClockSpeed", integer(speed)}};
}

TEST(SelectorDetection, EmptyClassKeepsOneEmptyPathAndSelectsNothing) {
    SectionHarness h;
    h.service->addClass("Win32_Processor");
    DetectSystemCPUs(h.context);
    EXPECT_EQ(h.screen.text("lblCPUCount"), "0 processor(s) detected.");
    EXPECT_EQ(h.screen.itemCount("cboCPUs"), 0);
    EXPECT_EQ(h.state.cpu.InstancePathList, std::vector<std::string>{""});
    EXPECT_EQ(h.screen.selectedIndex("cboCPUs"), -1);
    EXPECT_EQ(h.screen.text("lblCPUSpeed"), "...");
    EXPECT_TRUE(h.screen.boxes.empty());
}

TEST(SelectorDetection, InstanceWithEmptyPathIsCountedButNotListed) {
    SectionHarness h;
    h.service->add("Win32_Processor", cpuPath(0), cpu("First", 1000))
        .add("Win32_Processor", "", cpu("Pathless", 2000))
        .add("Win32_Processor", cpuPath(2), cpu("Third", 3000));
    DetectSystemCPUs(h.context);
    EXPECT_EQ(h.screen.text("lblCPUCount"), "3 processor(s) detected.");
    EXPECT_EQ(h.screen.items["cboCPUs"], (std::vector<std::string>{"First", "Third"}));
    EXPECT_EQ(h.state.cpu.InstancePathList, (std::vector<std::string>{cpuPath(0), cpuPath(2)}));
    EXPECT_EQ(h.screen.text("lblCPUSpeed"), "1000 MHz");
    h.screen.setSelectedIndex("cboCPUs", 1);
    EXPECT_EQ(h.screen.text("lblCPUSpeed"), "3000 MHz");
}

TEST(SelectorDetection, FailureWhileListingTheThirdOfFiveStopsWithTheBox) {
    SectionHarness h;
    for (int i = 0; i < 5; ++i) {
        h.service->add("Win32_Processor", cpuPath(i), cpu("CPU " + std::to_string(i), 100));
    }
    h.service->inject({Call::Path, "Win32_Processor", 2, "", "Provider failure"});
    DetectSystemCPUs(h.context);
    EXPECT_EQ(h.screen.text("lblCPUCount"), "5 processor(s) detected.");
    EXPECT_EQ(h.screen.itemCount("cboCPUs"), 2);
    EXPECT_EQ(h.screen.selectedIndex("cboCPUs"), -1);
    EXPECT_EQ(h.screen.text("lblCPUSpeed"), "...");
    ASSERT_EQ(h.screen.boxes.size(), 1u);
    EXPECT_EQ(h.screen.boxes[0].text, "Unable to detect CPU(s).Provider failure");
    EXPECT_EQ(h.screen.boxes[0].title, "Detection Error");
    EXPECT_EQ(h.screen.boxes[0].style, 64);
}

TEST(SelectorDetection, NullNameStopsListingWithTheNullDescription) {
    SectionHarness h;
    h.service->add("Win32_Processor", cpuPath(0), cpu("First", 100))
        .add("Win32_Processor", cpuPath(1), {{"Name", null()}})
        .add("Win32_Processor", cpuPath(2), cpu("Third", 300));
    DetectSystemCPUs(h.context);
    EXPECT_EQ(h.screen.items["cboCPUs"], std::vector<std::string>{"First"});
    EXPECT_EQ(h.state.cpu.InstancePathList, std::vector<std::string>{cpuPath(0)});
    EXPECT_EQ(h.screen.selectedIndex("cboCPUs"), -1);
    ASSERT_EQ(h.screen.boxes.size(), 1u);
    EXPECT_EQ(h.screen.boxes[0].text, std::string("Unable to detect CPU(s).") + kInvalidUseOfNull);
}

TEST(SelectorDetection, NoServiceReportsThatTheObjectIsNotSet) {
    SectionHarness h;
    h.disconnect();
    DetectSystemCPUs(h.context);
    EXPECT_EQ(h.screen.text("lblCPUCount"), "...");  // never written
    ASSERT_EQ(h.screen.boxes.size(), 1u);
    EXPECT_EQ(h.screen.boxes[0].text, std::string("Unable to detect CPU(s).") + kObjectNotSet);
}

TEST(SelectorDetection, FailedLookupLeavesEveryFieldAsItWas) {
    SectionHarness h;
    h.service->add("Win32_Processor", cpuPath(0), cpu("First", 1000))
        .add("Win32_Processor", cpuPath(1), cpu("Second", 2000));
    DetectSystemCPUs(h.context);
    ASSERT_EQ(h.screen.text("lblCPUSpeed"), "1000 MHz");
    h.service->inject({Call::Lookup, "", -1, "", "Not found"});
    h.screen.setSelectedIndex("cboCPUs", 1);
    EXPECT_EQ(h.screen.text("lblCPUSpeed"), "1000 MHz");
    // An index without a stored path fails the same way.
    h.screen.setSelectedIndex("cboCPUs", 7);
    EXPECT_EQ(h.screen.text("lblCPUSpeed"), "1000 MHz");
    EXPECT_TRUE(h.screen.boxes.empty());
}

TEST(SelectorDetection, SkipOnFailureSectionLeavesOutAnItemWithoutTextAndKeepsPathsInStep) {
    // The memory section: a bank whose Tag is Null gets neither an item nor
    // a path, so the items after it still fetch their own banks.
    SectionHarness h;
    const auto bank = [](const char* tag, const char* locator) {
        return InMemoryService::Properties{{"Tag", tag ? text(tag) : null()},
                                           {"DeviceLocator", text(locator)}};
    };
    h.service->add("Win32_PhysicalMemory", "P0", bank("Physical Memory 0", "DIMM0"))
        .add("Win32_PhysicalMemory", "P1", bank(nullptr, "DIMM1"))
        .add("Win32_PhysicalMemory", "P2", bank("Physical Memory 2", "DIMM2"));
    DetectMEM(h.context);
    EXPECT_EQ(h.screen.items["cboMem"],
              (std::vector<std::string>{"Physical Memory 0", "Physical Memory 2"}));
    EXPECT_EQ(h.state.mem.InstancePathList, (std::vector<std::string>{"P0", "P2"}));
    h.screen.setSelectedIndex("cboMem", 1);
    EXPECT_EQ(h.screen.text("lblMEMLoc"), "DIMM2");
    EXPECT_TRUE(h.screen.boxes.empty());
}

}  // namespace
}  // namespace tolvex::testing
