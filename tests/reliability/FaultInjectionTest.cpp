// Fails every management call and every sockets call of the start-up
// sequence in turn, and every selector handler's look-up, and checks that
// each run ends with what the failure policies promise: the sequence runs to
// its end, only the section whose call failed differs from a clean run, a
// "Detection Error" box appears only for the sections that report, and only
// the start-up and clean-up failures of the sockets end the program.
#include <gtest/gtest.h>

#include <algorithm>
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
    int injectionsFired = 0;
    std::string stepAtFailure;
    std::string phase;  // the section being clicked after the sequence

    SequenceRun() {
        // A value for every property, so that a failed read is never the
        // same as the Null it would have read.
        addSampleMachine(*h.service, SampleNulls::None);
        sockets.hostEntry = ScriptedSockets::addresses({{192, 168, 0, 5}, {10, 0, 0, 255}});
        h.service->onInjectedFailure = [this] {
            ++injectionsFired;
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

// Every list-view cell, row by row.
std::vector<std::vector<std::string>> rowTexts(const RecordingScreen& screen) {
    std::vector<std::vector<std::string>> out;
    for (const auto& [view, rows] : screen.rows) {
        for (const auto& row : rows) {
            out.push_back(row.columns);
        }
    }
    return out;
}

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
        ASSERT_EQ(run.injectionsFired, 1) << "the injected failure must fire once";
        const int step = stepIndex(run.stepAtFailure);
        ASSERT_GE(step, 0) << "failure at " << run.stepAtFailure;
        // The outcome differs from the clean run's: a field write, item,
        // line or row is missing, or a box is shown. (Later picks may put
        // the final screen back as it was, so the writes are compared.) The
        // one call whose failure cannot show is the walk's step past the last
        // instance in a section that skips failures: the walk ends there
        // either way.
        ASSERT_EQ(run.h.service->failedCalls.size(), 1u);
        const auto& failed = run.h.service->failedCalls.front();
        const bool silentEndOfWalk =
            failed.call == InMemoryService::Call::Walk &&
            failed.index == run.h.service->instanceCount(failed.className) &&
            !sentences.count(step);
        const bool differs = run.h.screen.writes != clean.h.screen.writes ||
                             run.h.screen.items != clean.h.screen.items ||
                             run.h.screen.lists != clean.h.screen.lists ||
                             rowTexts(run.h.screen) != rowTexts(clean.h.screen) ||
                             !run.h.screen.boxes.empty();
        EXPECT_EQ(differs, !silentEndOfWalk) << "failed call on " << failed.className << " "
                                             << failed.property << " at step " << step;
        const auto changed = run.differences(clean);
        for (const auto& element : changed) {
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
    // Each look-up picks an item other than the one shown, so the same pick
    // without the injected failure changes the fields.
    const auto pick = [](SequenceRun& run, const std::string& selector, int position) {
        if (selector == "lvDrives") {
            run.h.screen.clickRow(selector, position + 1);
        } else {
            run.h.screen.setSelectedIndex(selector, position);
        }
    };
    int covered = 0;
    for (const std::string selector : {"cboCPUs", "cboMem", "cboNIC", "cboSCSI", "lvDrives"}) {
        for (int position = 0; position < 2; ++position) {
            SCOPED_TRACE(selector + " item " + std::to_string(position));
            SequenceRun clean;
            SequenceRun run;
            for (SequenceRun* r : {&clean, &run}) {
                r->play();
                pick(*r, selector, 1 - position);
            }
            const auto before = run.h.screen.texts;
            run.h.service->inject({InMemoryService::Call::Lookup, "", -1, "", "Not found"});
            const int fired = run.injectionsFired;
            pick(clean, selector, position);
            pick(run, selector, position);
            EXPECT_EQ(run.injectionsFired, fired + 1) << "the look-up must meet the failure";
            EXPECT_NE(clean.h.screen.texts, before) << "without the failure the pick shows";
            EXPECT_EQ(run.h.screen.texts, before);
            EXPECT_TRUE(run.h.screen.boxes.empty());
            ++covered;
        }
    }
    std::printf("selector look-up injection points covered: %d\n", covered);
}

TEST(FaultInjection, EverySocketsCallOfTheSequence) {
    struct Case {
        const char* name;
        const char* call;  // the sockets call whose answer is changed
        void (*fail)(ScriptedSockets&);
        bool ends;
        const char* message;
    };
    const Case cases[] = {
        {"startup", "WSAStartup", [](ScriptedSockets& s) { s.startupResult = 10091; }, true,
         "Winsock.dll is not responding."},
        {"version", "WSAStartup", [](ScriptedSockets& s) { s.granted.wVersion = 0x0001; }, true,
         "Windows Sockets version 1.0 is not supported by winsock.dll "},
        {"sockets", "WSAStartup", [](ScriptedSockets& s) { s.granted.iMaxSockets = 0; }, true,
         "This application requires a minimum of 1 supported sockets."},
        {"gethostname", "WSAGetLastError",
         [](ScriptedSockets& s) {
             s.hostNameResult = -1;
             s.lastError = 10093;
         },
         false, "Windows Sockets error  10093"},
        {"gethostbyname", "gethostbyname", [](ScriptedSockets& s) { s.hostEntry.reset(); }, false,
         "Winsock.dll is not responding."},
        {"cleanup", "WSACleanup", [](ScriptedSockets& s) { s.cleanupResult = -1; }, true,
         "Socket error -1 occurred in Cleanup "},
    };
    SequenceRun clean;
    clean.play();
    ASSERT_FALSE(clean.ended);
    ASSERT_TRUE(clean.h.screen.boxes.empty());
    ASSERT_FALSE(clean.h.screen.lists["lstIPAddr"].empty());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SequenceRun run;
        c.fail(run.sockets);
        run.play();
        // The changed answer was asked for, and the run differs from the
        // clean one: it ended, or its box and address list differ.
        EXPECT_NE(std::find(run.sockets.calls.begin(), run.sockets.calls.end(), c.call),
                  run.sockets.calls.end());
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
            const auto changed = run.differences(clean);
            if (std::string(c.name) != "cleanup") {
                EXPECT_EQ(changed, std::set<std::string>{"lstIPAddr"});
            } else {
                EXPECT_TRUE(changed.empty());
            }
        }
    }
    std::printf("sockets injection points covered: %zu\n", std::size(cases));
}

}  // namespace
}  // namespace tolvex::testing
