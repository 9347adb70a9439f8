// frmMain's behaviour without any toolkit: the in-memory service, scripted
// sockets and a recording window system stand around it. What the Qt and
// native windows add on top is tested with those front ends.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "app/frmAbout.h"
#include "app/frmMain.h"
#include "sections/StartupSequence.h"
#include "tests/support/InMemoryService.h"
#include "tests/support/RecordingBrowser.h"
#include "tests/support/RecordingProgramEnd.h"
#include "tests/support/RecordingWindowSystem.h"
#include "tests/support/SampleMachine.h"
#include "tests/support/ScriptedSockets.h"
#include "wmi/Failure.h"

namespace tolvex {
namespace {

using testing::RecordingBrowser;

// A service whose every query throws something that is no management
// failure: a fault in the program, not in the machine.
class BrokenService : public ManagementService {
  public:
    ObjectSetPtr instancesOf(std::string_view, int) override {
        throw std::logic_error("broken query");
    }
};

const std::vector<std::string> kProgressTexts = {
    "Detecting system processor(s)...", "Detecting motherboard...",
    "Detecting main memory banks...",   "Detecting network adapter(s)...",
    "Detecting IP address(es)...",      "Detecting video adapter...",
    "Detecting SCSI adapter...",        "Detecting drive(s)...",
    "Detecting operating system...",
};

class FrmMainTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::addSampleMachine(*service);
        // The screen as the definitions leave it: the system panel on view.
        windows.recording.visible["frSections(0)"] = true;
        form = std::make_unique<frmMain>(
            FrmMainParts{[this](std::string_view moniker) -> ServicePtr {
                             monikers.emplace_back(moniker);
                             if (connectFails) {
                                 throw Failure("The RPC server is unavailable.");
                             }
                             return connectTo ? connectTo : service;
                         },
                         windows, sockets, programEnd, browser, NumberFormat::point()});
    }

    std::vector<std::string> visiblePanels() const {
        std::vector<std::string> shown;
        for (const auto& [name, visible] : windows.recording.visible) {
            if (visible) {
                shown.push_back(name);
            }
        }
        return shown;
    }

    std::vector<testing::RecordingScreen::Box> boxesTitled(const std::string& title) const {
        std::vector<testing::RecordingScreen::Box> found;
        for (const auto& box : windows.recording.boxes) {
            if (box.title == title) {
                found.push_back(box);
            }
        }
        return found;
    }

    std::vector<std::string> progressWrites() const {
        std::vector<std::string> texts;
        for (const auto& [field, text] : windows.recording.writes) {
            if (field == "lblLoad") {
                texts.push_back(text);
            }
        }
        return texts;
    }

    int socketCalls(const std::string& name) const {
        int count = 0;
        for (const std::string& call : sockets.calls) {
            count += call == name;
        }
        return count;
    }

    std::shared_ptr<testing::InMemoryService> service =
        std::make_shared<testing::InMemoryService>();
    ServicePtr connectTo;
    testing::RecordingWindowSystem windows;
    testing::ScriptedSockets sockets;
    testing::RecordingProgramEnd programEnd;
    RecordingBrowser browser;
    bool connectFails = false;
    std::vector<std::string> monikers;
    std::unique_ptr<frmMain> form;
};

TEST_F(FrmMainTest, LoadConnectsAndStartsTheSocketsWithoutQuerying) {
    form->Form_Load();
    form->show();
    EXPECT_EQ(monikers, std::vector<std::string>{"WinMgmts:"});
    EXPECT_EQ(service->callCount(), 0);
    EXPECT_EQ(form->state().CurrentSection, 0);
    EXPECT_FALSE(form->state().DetectionDone);
    ASSERT_FALSE(sockets.calls.empty());
    EXPECT_EQ(sockets.calls.front(), "WSAStartup");
    EXPECT_EQ(windows.calls, std::vector<std::string>{"showMainWindow"});
    EXPECT_TRUE(windows.recording.boxes.empty());
}

// Records the classes asked for, and asks the service for them.
class AskedClasses : public ManagementService {
  public:
    explicit AskedClasses(ServicePtr service) : m_service(std::move(service)) {}
    ObjectSetPtr instancesOf(std::string_view className, int flags) override {
        asked.emplace_back(className);
        return m_service->instancesOf(className, flags);
    }
    std::vector<std::string> asked;

  private:
    ServicePtr m_service;
};

TEST_F(FrmMainTest, TheStepsAskForTheClassesReadAheadInTheirOrder) {
    auto recorder = std::make_shared<AskedClasses>(service);
    connectTo = recorder;
    form->Form_Load();
    form->show();
    windows.activate();
    EXPECT_EQ(recorder->asked, startupClasses());
}

TEST_F(FrmMainTest, TheFirstActivationRunsTheNineStepsOnceBehindTheProgressWindow) {
    form->Form_Load();
    form->show();
    windows.activate();
    EXPECT_EQ(progressWrites(), kProgressTexts);
    EXPECT_EQ(windows.calls, (std::vector<std::string>{"showMainWindow", "showLoadingWindow",
                                                       "unloadLoadingWindow"}));
    EXPECT_FALSE(windows.loadingLoaded);
    EXPECT_TRUE(form->state().DetectionDone);
    EXPECT_EQ(windows.recording.itemCount("cboCPUs"), 2);
    EXPECT_EQ(windows.recording.selectedIndex("cboCPUs"), 0);
    const int calls = service->callCount();
    EXPECT_GT(calls, 0);

    // Later activations (a message box closing, the user coming back) run
    // nothing.
    windows.activate();
    windows.activate();
    EXPECT_EQ(progressWrites().size(), kProgressTexts.size());
    EXPECT_EQ(service->callCount(), calls);
    EXPECT_EQ(windows.recording.itemCount("cboCPUs"), 2);
}

TEST_F(FrmMainTest, AnActivationDuringTheSequenceStartsNoSecondOne) {
    form->Form_Load();
    // The progress window appearing activates the main window again while
    // the first step runs; a message box closing would do the same.
    service->onInjectedFailure = [this] { windows.activate(); };
    service->inject(
        {testing::InMemoryService::Call::Enumerate, "Win32_Processor", -1, "", "Not found"});
    windows.activate();
    EXPECT_EQ(progressWrites(), kProgressTexts);
    EXPECT_EQ(boxesTitled("Detection Error").size(), 1u);
}

TEST_F(FrmMainTest, WithoutTheServiceThreeDetectionErrorsAppearDuringTheirSteps) {
    connectFails = true;
    form->Form_Load();  // the failure itself is silent
    EXPECT_TRUE(windows.recording.boxes.empty());
    windows.activate();
    const auto errors = boxesTitled("Detection Error");
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0].progressText, "Detecting system processor(s)...");
    EXPECT_EQ(errors[1].progressText, "Detecting network adapter(s)...");
    EXPECT_EQ(errors[2].progressText, "Detecting SCSI adapter...");
    for (const auto& box : errors) {
        EXPECT_EQ(box.style, 64);
    }
    EXPECT_EQ(errors[0].text.rfind("Unable to detect CPU(s).", 0), 0u) << errors[0].text;
    EXPECT_EQ(errors[1].text.rfind("Unable to detect NIC(s).", 0), 0u) << errors[1].text;
    EXPECT_EQ(errors[2].text.rfind("Unable to detect SCSI adapter(s).", 0), 0u) << errors[2].text;
    EXPECT_EQ(windows.recording.itemCount("cboCPUs"), 0);
    EXPECT_EQ(windows.recording.selectedIndex("cboCPUs"), -1);
    EXPECT_TRUE(form->state().DetectionDone);
    EXPECT_FALSE(windows.loadingLoaded);
}

TEST_F(FrmMainTest, AFaultEscapingADetectorEndsTheSequenceWithItsDescription) {
    connectTo = std::make_shared<BrokenService>();
    form->Form_Load();
    windows.activate();
    const auto errors = boxesTitled("Detection Error");
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors.back().text.find("broken query"), std::string::npos) << errors.back().text;
    EXPECT_TRUE(form->state().DetectionDone);
    EXPECT_FALSE(windows.loadingLoaded);
    EXPECT_EQ(windows.calls.back(), "unloadLoadingWindow");
}

TEST_F(FrmMainTest, TheSectionMenuShowsExactlyOnePanel) {
    form->Form_Load();
    struct Step {
        std::int16_t index;
        const char* shown;
    };
    const Step steps[] = {
        {2, "frSections(1)"},
        {2, "frSections(1)"},
        {8, "frSections(7)"},
        {1, "frSections(0)"},
        // Indices outside the array change nothing.
        {0, "frSections(0)"},
        {9, "frSections(0)"},
        {-1, "frSections(0)"},
    };
    for (const Step& step : steps) {
        windows.chooseSection(step.index);
        EXPECT_EQ(visiblePanels(), std::vector<std::string>{step.shown}) << step.index;
    }
    EXPECT_EQ(form->state().CurrentSection, 0);
}

TEST_F(FrmMainTest, FileMenuItemsOpenTheBrowserTheAboutBoxAndExit) {
    form->Form_Load();
    form->show();
    windows.chooseFileItem(1);
    EXPECT_EQ(browser.opened, std::vector<std::string>{kAuthorWebPage});
    EXPECT_TRUE(windows.recording.boxes.empty());

    windows.chooseFileItem(2);
    windows.chooseFileItem(2);
    EXPECT_EQ(windows.aboutTexts.size(), 2u);

    // The separator and items that do not exist do nothing.
    const auto before = windows.calls;
    windows.chooseFileItem(3);
    windows.chooseFileItem(7);
    EXPECT_EQ(windows.calls, before);
    EXPECT_EQ(browser.opened.size(), 1u);

    windows.chooseFileItem(4);
    // Closing the window unloads it, and unloading takes the progress window
    // with it.
    const std::vector<std::string> last(windows.calls.end() - 2, windows.calls.end());
    EXPECT_EQ(last, (std::vector<std::string>{"closeMainWindow", "unloadLoadingWindow"}));
    EXPECT_EQ(socketCalls("WSACleanup"), 1);
}

TEST_F(FrmMainTest, TheAboutBoxShowsTheProjectVersion) {
    // The version the build is declared with, read from the build file
    // itself rather than from the header generated out of it.
    std::ifstream file(std::string(TOLVEX_SOURCE_DIR) + "/CMakeLists.txt");
    std::stringstream text;
    text << file.rdbuf();
    std::smatch match;
    const std::string contents = text.str();
    ASSERT_TRUE(std::regex_search(
        contents, match, std::regex(R"(project\(Tolvex VERSION ([0-9]+)\.([0-9]+)\.([0-9]+))")));
    const std::string expected =
        "Version: " + match[1].str() + "." + match[2].str() + "." + match[3].str();
    EXPECT_EQ(expected, "Version: 1.0.6");
    form->Form_Load();
    windows.chooseFileItem(2);
    EXPECT_EQ(windows.aboutTexts, std::vector<std::string>{expected});
}

TEST_F(FrmMainTest, ABrowserThatCannotStartShowsTheStartupErrorOnce) {
    struct Case {
        const char* name;
        bool succeeds;
        bool throws;
    };
    const Case cases[] = {{"refused", false, false}, {"throws", false, true}};
    for (const Case& c : cases) {
        windows.recording.boxes.clear();
        browser.succeeds = c.succeeds;
        struct ThrowingBrowser : BrowserLauncher {
            bool openAddress(const std::string&) override {
                throw std::runtime_error("no browser");
            }
        } throwing;
        if (c.throws) {
            frmMain other(FrmMainParts{[this](std::string_view) -> ServicePtr { return service; },
                                       windows, sockets, programEnd, throwing,
                                       NumberFormat::point()});
            other.mnuFileItem_Click(1);
        } else {
            form->mnuFileItem_Click(1);
        }
        ASSERT_EQ(windows.recording.boxes.size(), 1u) << c.name;
        EXPECT_EQ(windows.recording.boxes[0].text,
                  "Unable to find Internet Explorer in its default folder.");
        EXPECT_EQ(windows.recording.boxes[0].title, "IE Startup Error");
        EXPECT_EQ(windows.recording.boxes[0].style, 48);
    }
}

TEST_F(FrmMainTest, UnloadingCleansUpTheSocketsOnceAndUnloadsTheProgressWindow) {
    form->Form_Load();
    form->show();
    windows.showLoadingWindow();
    form->CloseMainWindow();
    form->Form_Unload();
    EXPECT_EQ(socketCalls("WSACleanup"), 1);
    EXPECT_FALSE(windows.loadingLoaded);
    EXPECT_EQ(programEnd.calls, 0);
}

TEST_F(FrmMainTest, AFailedSocketsStartEndsTheProgramAfterItsMessage) {
    sockets.startupResult = 10091;
    EXPECT_THROW(form->Form_Load(), testing::ProgramEnded);
    EXPECT_EQ(programEnd.calls, 1);
    ASSERT_EQ(windows.recording.boxes.size(), 1u);
    EXPECT_EQ(windows.recording.boxes[0].style, 0);
    EXPECT_EQ(windows.recording.boxes[0].title, "");
}

TEST_F(FrmMainTest, NoEventReachesAFormThatIsGone) {
    form->Form_Load();
    form.reset();
    windows.activate();
    windows.chooseSection(3);
    windows.chooseFileItem(2);
    windows.closeMainWindow();
    EXPECT_TRUE(windows.aboutTexts.empty());
    EXPECT_EQ(socketCalls("WSACleanup"), 0);
    EXPECT_EQ(service->callCount(), 0);
}

TEST(BrowserCommandLineTest, DrivePathAndAddress) {
    EXPECT_EQ(browserCommandLine("C", "https://tolvex.org/"),
              "C:\\program files\\internet explorer\\iexplore.exe https://tolvex.org/");
    EXPECT_EQ(browserCommandLine("", "https://tolvex.org/"), "");
}

}  // namespace
}  // namespace tolvex
