// Fails every management call and every sockets call of the start-up
// sequence in turn, and every selector handler's look-up, and checks that
// each run ends with what the failure policies promise: the sequence runs to
// its end, only the section whose call failed differs from a clean run, a
// "Detection Error" box appears only for the sections that report, and only
// the start-up and clean-up failures of the sockets end the program.
#include <gtest/gtest.h>

#include <set>

#include "net/modGetIPInfo.h"
#include "sections/StartupSequence.h"
#include "tests/support/RecordingProgramEnd.h"
#include "tests/support/SampleMachine.h"
#include "tests/support/ScriptedSockets.h"
#include "tests/support/SectionHarness.h"

namespace tolvex::testing {
namespace {

constexpr const char* kSteps[] = {
    "Detecting system processor(s)...", "Detecting motherboard...",
    "Detecting main memory banks...",   "Detecting network adapter(s)...",
    "Detecting IP address(es)...",      "Detecting video adapter...",
    "Detecting SCSI adapter...",        "Detecting drive(s)...",
    "Detecting operating system...",
};

// The start-up step that fills an element.
int stepOf(const std::string& name) {
    const auto starts = [&](const char* prefix) { return name.rfind(prefix, 0) == 0; };
    if (starts("lblMEMTot") || starts("lblMEMAvail") || starts("lblOS")) {
        return 8;
    }
    if (starts("lblCPU") || starts("cboCPUs") || name == "lblType" || name == "lblManufacturer" ||
        name == "lblArchitec" || name == "lblFamily" || name == "lblABus" || name == "lblBBus" ||
        starts("lblL2") || name == "lblVoltage" || name == "lblExtClock") {
        return 0;
    }
    if (starts("lblMB")) {
        return 1;
    }
    if (starts("lblMEM") || starts("cboMem")) {
        return 2;
    }
    if (starts("lblNIC") || starts("cboNIC")) {
        return 3;
    }
    if (starts("lstIPAddr")) {
        return 4;
    }
    if (starts("lblVID")) {
        return 5;
    }
    if (starts("lblSCSI") || starts("cboSCSI")) {
        return 6;
    }
    if (starts("lblDRV") || starts("lvDrives")) {
        return 7;
    }
    return -1;
}

struct SequenceRun {
    SectionHarness h;
    ScriptedSockets sockets;
    RecordingProgramEnd end;
    bool ended = false;
    std::string stepAtFailure;
    std::string phase;  // the section being clicked after the sequence

    SequenceRun() {
        addSampleMachine(*h.service);
        sockets.hostEntry = ScriptedSockets::addresses({{192, 168, 0, 5}, {10, 0, 0, 255}});
        h.service->onInjectedFailure = [this] {
            stepAtFailure = phase.empty() ? h.screen.text("lblLoad") : phase;
        };
    }

    // Load, the start-up sequence, every item of every selector picked in
    // turn, every drive clicked, then unload.
    void play() {
        try {
            modGetIPInfo::StartWinsock(sockets, h.screen, end);
            runDetectionSteps(h.context,
                              [&] { modGetIPInfo::DetectIPAddresses(sockets, h.screen); });
            const std::pair<const char*, int> selectors[] = {
                {"cboCPUs", 0}, {"cboMem", 2}, {"cboNIC", 3}, {"cboSCSI", 6}};
            for (const auto& [selector, step] : selectors) {
                phase = kSteps[step];
                for (int i = h.screen.itemCount(selector) - 1; i >= 0; --i) {
                    h.screen.setSelectedIndex(selector, i);
                }
            }
            phase = kSteps[7];
            const int rows = static_cast<int>(h.screen.rows["lvDrives"].size());
            for (int row = rows; row >= 1; --row) {
                h.screen.clickRow("lvDrives", row);
            }
            phase.clear();
            modGetIPInfo::EndWinsock(sockets, h.screen, end);
        } catch (const ProgramEnded&) {
            ended = true;
        }
    }

    // Every element whose content differs from another run's.
    std::set<std::string> differences(const SequenceRun& other) const {
        std::set<std::string> out;
        for (const auto* a : {&h.screen, &other.h.screen}) {
            for (const auto& [field, text] : a->texts) {
                if (field != "lblLoad" && h.screen.text(field) != other.h.screen.text(field)) {
                    out.insert(field);
                }
            }
            for (const auto& [selector, items] : a->items) {
                if (h.screen.items.count(selector) == 0 ||
                    other.h.screen.items.count(selector) == 0 ||
                    h.screen.items.at(selector) != other.h.screen.items.at(selector)) {
                    out.insert(selector);
                }
            }
            for (const auto& [list, lines] : a->lists) {
                if (h.screen.lists.count(list) == 0 || other.h.screen.lists.count(list) == 0 ||
                    h.screen.lists.at(list) != other.h.screen.lists.at(list)) {
                    out.insert(list);
                }
            }
            for (const auto& [view, rows] : a->rows) {
                const auto mine = h.screen.rows.find(view);
                const auto theirs = other.h.screen.rows.find(view);
                if (mine == h.screen.rows.end() || theirs == other.h.screen.rows.end() ||
                    mine->second.size() != theirs->second.size()) {
                    out.insert(view);
                    continue;
                }
                for (std::size_t r = 0; r < mine->second.size(); ++r) {
                    if (mine->second[r].columns != theirs->second[r].columns) {
                        out.insert(view);
                    }
                }
            }
        }
        return out;
    }
};

int stepIndex(const std::string& text) {
    for (int i = 0; i < 9; ++i) {
        if (text == kSteps[i]) {
            return i;
        }
    }
    return -1;
}

TEST(FaultInjection, EveryManagementCallOfTheSequenceAndTheSelections) {
    SequenceRun clean;
    clean.play();
    ASSERT_FALSE(clean.ended);
    ASSERT_TRUE(clean.h.screen.boxes.empty());
    const int calls = clean.h.service->callCount();
    ASSERT_GT(calls, 100);

    const std::map<int, std::string> sentences = {{0, "Unable to detect CPU(s)."},
                                                  {3, "Unable to detect NIC(s)."},
                                                  {6, "Unable to detect SCSI adapter(s)."}};
    int covered = 0;
    for (int n = 1; n <= calls; ++n) {
        SCOPED_TRACE("management call " + std::to_string(n));
        SequenceRun run;
        run.h.service->failCallNumber(n, "Injected failure");
        run.play();
        ASSERT_FALSE(run.ended);
        ASSERT_EQ(run.h.screen.text("lblLoad"), kSteps[8]) << "the sequence must run to its end";
        const int step = stepIndex(run.stepAtFailure);
        ASSERT_GE(step, 0) << "failure at " << run.stepAtFailure;
        for (const auto& element : run.differences(clean)) {
            EXPECT_EQ(stepOf(element), step) << element << " changed outside its section";
        }
        ASSERT_LE(run.h.screen.boxes.size(), 1u);
        if (!run.h.screen.boxes.empty()) {
            const auto& box = run.h.screen.boxes.front();
            ASSERT_TRUE(sentences.count(step)) << "a section that never reports showed a box";
            EXPECT_EQ(box.text, sentences.at(step) + "Injected failure");
            EXPECT_EQ(box.title, "Detection Error");
            EXPECT_EQ(box.style, 64);
            EXPECT_EQ(box.progressText, kSteps[step]);
        }
        ++covered;
    }
    RecordProperty("management_injection_points", covered);
    std::printf("management call injection points covered: %d\n", covered);
}

TEST(FaultInjection, EverySelectorLookupLeavesTheFieldsAsTheyWere) {
    int covered = 0;
    for (const char* selector : {"cboCPUs", "cboMem", "cboNIC", "cboSCSI", "lvDrives"}) {
        for (int position = 0; position < 2; ++position) {
            SequenceRun run;
            run.play();
            const auto before = run.h.screen.texts;
            run.h.service->inject({InMemoryService::Call::Lookup, "", -1, "", "Not found"});
            if (std::string(selector) == "lvDrives") {
                run.h.screen.clickRow(selector, 2 - position);
            } else {
                run.h.screen.setSelectedIndex(selector, 1 - position);
            }
            EXPECT_EQ(run.h.screen.texts, before) << selector << " item " << position;
            EXPECT_TRUE(run.h.screen.boxes.empty());
            ++covered;
        }
    }
    std::printf("selector look-up injection points covered: %d\n", covered);
}

TEST(FaultInjection, EverySocketsCallOfTheSequence) {
    struct Case {
        const char* name;
        void (*fail)(ScriptedSockets&);
        bool ends;
        const char* message;
    };
    const Case cases[] = {
        {"startup", [](ScriptedSockets& s) { s.startupResult = 10091; }, true,
         "Winsock.dll is not responding."},
        {"version", [](ScriptedSockets& s) { s.granted.wVersion = 0x0001; }, true,
         "Windows Sockets version 1.0 is not supported by winsock.dll "},
        {"sockets", [](ScriptedSockets& s) { s.granted.iMaxSockets = 0; }, true,
         "This application requires a minimum of 1 supported sockets."},
        {"gethostname",
         [](ScriptedSockets& s) {
             s.hostNameResult = -1;
             s.lastError = 10093;
         },
         false, "Windows Sockets error  10093"},
        {"gethostbyname", [](ScriptedSockets& s) { s.hostEntry.reset(); }, false,
         "Winsock.dll is not responding."},
        {"cleanup", [](ScriptedSockets& s) { s.cleanupResult = -1; }, true,
         "Socket error -1 occurred in Cleanup "},
    };
    SequenceRun clean;
    clean.play();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SequenceRun run;
        c.fail(run.sockets);
        run.play();
        EXPECT_EQ(run.ended, c.ends);
        ASSERT_EQ(run.h.screen.boxes.size(), 1u);
        EXPECT_EQ(run.h.screen.boxes[0].text, c.message);
        EXPECT_EQ(run.h.screen.boxes[0].title, "");
        EXPECT_EQ(run.h.screen.boxes[0].style, 0);
        const bool atStartup = c.ends && std::string(c.name) != "cleanup";
        if (atStartup) {
            // Nothing after the box: no detection ran at all.
            EXPECT_TRUE(run.h.screen.texts.empty());
            EXPECT_EQ(run.h.service->callCount(), 0);
        } else {
            for (const auto& element : run.differences(clean)) {
                EXPECT_EQ(element, "lstIPAddr");
            }
        }
    }
    std::printf("sockets injection points covered: %zu\n", std::size(cases));
}

}  // namespace
}  // namespace tolvex::testing
