// frmMain's behaviour on the in-memory service, scripted sockets and
// recorders: load, the start-up sequence, navigation, the File menu and the
// About box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "app/LocaleFormat.h"
#include "app/frmAbout.h"
#include "app/frmMain.h"
#include "tests/support/InMemoryService.h"
#include "tests/support/RecordingProgramEnd.h"
#include "tests/support/SampleMachine.h"
#include "tests/support/ScriptedSockets.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ScreenDefinitions.h"
#include "wmi/Failure.h"

namespace tolvex {
namespace {

using testing::RecordingBrowser;
using testing::RecordingPresenter;

class FrmMainTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::qtApp();
        testing::addSampleMachine(*service);
        form = std::make_unique<frmMain>(
            FrmMainParts{[this](std::string_view moniker) -> ServicePtr {
                             monikers.emplace_back(moniker);
                             if (connectFails) {
                                 throw Failure("The RPC server is unavailable.");
                             }
                             return service;
                         },
                         sockets, programEnd, messages, browser, NumberFormat::point()});
        messages.progress = [this] {
            return form->screen().hasLoadingWindow() ? form->screen().text("lblLoad")
                                                     : std::string();
        };
    }

    std::vector<std::string> visiblePanels() {
        std::vector<std::string> shown;
        for (int i = 0; i < 8; ++i) {
            const std::string name = ui::arrayName("frSections", i);
            if (form->screen().isVisible(name)) {
                shown.push_back(name);
            }
        }
        return shown;
    }

    std::vector<RecordingPresenter::Box> boxesTitled(const std::string& title) {
        std::vector<RecordingPresenter::Box> found;
        for (const auto& box : messages.boxes) {
            if (box.title == title) {
                found.push_back(box);
            }
        }
        return found;
    }

    std::shared_ptr<testing::InMemoryService> service =
        std::make_shared<testing::InMemoryService>();
    testing::ScriptedSockets sockets;
    testing::RecordingProgramEnd programEnd;
    RecordingPresenter messages;
    RecordingBrowser browser;
    bool connectFails = false;
    std::vector<std::string> monikers;
    std::unique_ptr<frmMain> form;
};

TEST_F(FrmMainTest, FreshWindowShowsTheSystemPanelAndInitialTexts) {
    form->Form_Load();
    EXPECT_EQ(visiblePanels(), std::vector<std::string>{"frSections(0)"});
    for (const ui::Element* field : ui::valueFields(ui::frmMainDefinition())) {
        EXPECT_EQ(form->screen().text(field->name), "...") << field->name;
    }
    EXPECT_EQ(form->screen().text("lblCPUCount"), "0 processor(s) detected.");
    EXPECT_EQ(form->screen().text("lblNICCount"), "0 network adapter device(s) detected.");
    EXPECT_EQ(form->screen().text("lblSCSICount"), "0 SCSI adapter(s) detected.");
    for (const char* selector : {"cboCPUs", "cboMem", "cboNIC", "cboSCSI"}) {
        EXPECT_EQ(form->screen().itemCount(selector), 0) << selector;
    }
    EXPECT_EQ(form->window().findChild<QListWidget*>("lstIPAddr")->count(), 0);
    EXPECT_EQ(form->window().findChild<QTreeWidget*>("lvDrives")->topLevelItemCount(), 0);
    // Load connects and starts the sockets, and queries nothing.
    EXPECT_EQ(monikers, std::vector<std::string>{"WinMgmts:"});
    EXPECT_EQ(service->callCount(), 0);
    EXPECT_EQ(form->state().CurrentSection, 0);
    EXPECT_FALSE(form->state().DetectionDone);
    EXPECT_EQ(sockets.calls.front(), "WSAStartup");
}

TEST_F(FrmMainTest, TheSequenceRunsOnceAndASecondActivationChangesNothing) {
    form->Form_Load();
    form->Form_Activate();
    EXPECT_TRUE(form->state().DetectionDone);
    EXPECT_FALSE(form->screen().hasLoadingWindow());
    EXPECT_EQ(visiblePanels(), std::vector<std::string>{"frSections(0)"});
    const int cpus = form->screen().itemCount("cboCPUs");
    EXPECT_EQ(cpus, 2);
    const std::string speed = form->screen().text("lblCPUSpeed");
    const int calls = service->callCount();
    EXPECT_GT(calls, 0);

    form->Form_Activate();
    EXPECT_EQ(form->screen().itemCount("cboCPUs"), cpus);
    EXPECT_EQ(form->screen().text("lblCPUSpeed"), speed);
    EXPECT_EQ(service->callCount(), calls);
}

TEST_F(FrmMainTest, WithoutTheServiceThreeDetectionErrorsAppearDuringTheirSteps) {
    connectFails = true;
    form->Form_Load();  // the failure itself is silent
    EXPECT_TRUE(messages.boxes.empty());
    form->Form_Activate();
    const auto errors = boxesTitled("Detection Error");
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0].progress, "Detecting system processor(s)...");
    EXPECT_EQ(errors[1].progress, "Detecting network adapter(s)...");
    EXPECT_EQ(errors[2].progress, "Detecting SCSI adapter...");
    EXPECT_EQ(errors[0].style, 64);
    EXPECT_EQ(errors[0].text.rfind("Unable to detect CPU(s).", 0), 0u) << errors[0].text;
    EXPECT_EQ(form->screen().text("lblCPUCount"), "0 processor(s) detected.");
    EXPECT_EQ(form->screen().itemCount("cboCPUs"), 0);
    EXPECT_TRUE(form->state().DetectionDone);
    EXPECT_FALSE(form->screen().hasLoadingWindow());
}

TEST_F(FrmMainTest, SectionMenuShowsExactlyOnePanel) {
    form->Form_Load();
    form->mnuSections_Click(2);
    EXPECT_EQ(visiblePanels(), std::vector<std::string>{"frSections(1)"});
    form->mnuSections_Click(2);
    EXPECT_EQ(visiblePanels(), std::vector<std::string>{"frSections(1)"});
    EXPECT_EQ(form->state().CurrentSection, 1);
    form->mnuSections_Click(8);
    form->mnuSections_Click(1);
    EXPECT_EQ(visiblePanels(), std::vector<std::string>{"frSections(0)"});
    // Indices outside the array do nothing.
    form->mnuSections_Click(0);
    form->mnuSections_Click(9);
    EXPECT_EQ(visiblePanels(), std::vector<std::string>{"frSections(0)"});
}

TEST_F(FrmMainTest, MenuActionsReachTheHandlers) {
    form->Form_Load();
    form->window().menuAction("mnuSections(6)")->trigger();
    EXPECT_EQ(visiblePanels(), std::vector<std::string>{"frSections(5)"});
    browser.succeeds = true;
    form->window().menuAction("mnuFileItem(1)")->trigger();
    EXPECT_EQ(browser.opened, std::vector<std::string>{kAuthorWebPage});
    EXPECT_TRUE(messages.boxes.empty());
}

TEST_F(FrmMainTest, BrowserFailureShowsTheStartupErrorOnce) {
    form->Form_Load();
    form->mnuSections_Click(3);
    browser.succeeds = false;
    form->mnuFileItem_Click(1);
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].text, "Unable to find Internet Explorer in its default folder.");
    EXPECT_EQ(messages.boxes[0].title, "IE Startup Error");
    EXPECT_EQ(messages.boxes[0].style, 48);
    EXPECT_EQ(visiblePanels(), std::vector<std::string>{"frSections(2)"});
    form->mnuFileItem_Click(3);  // the separator
    form->mnuFileItem_Click(7);
    EXPECT_EQ(messages.boxes.size(), 1u);
}

// Opens the About box, reads lblVer once it is up, and presses Enter (or
// Esc) on it; the box must close for showModal to return.
std::string aboutBoxText(frmMain& form, Qt::Key key) {
    std::string seen;
    bool forced = false;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box) {
            return;
        }
        seen = box->findChild<QLabel*>("lblVer")->text().toStdString();
        QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, key);
    });
    // Should the key not close it, the box is closed so the test can fail.
    QTimer::singleShot(5000, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            forced = true;
            box->close();
        }
    });
    form.mnuFileItem_Click(2);
    EXPECT_FALSE(forced) << "the key did not close the About box";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    return seen;
}

TEST_F(FrmMainTest, AboutBoxShowsTheVersionEachTimeAndClosesWithEnterOrEsc) {
    form->Form_Load();
    EXPECT_EQ(frmAbout::versionText(), "Version: 1.0.6");
    EXPECT_EQ(aboutBoxText(*form, Qt::Key_Return), "Version: 1.0.6");
    EXPECT_EQ(aboutBoxText(*form, Qt::Key_Return), "Version: 1.0.6");
    EXPECT_EQ(aboutBoxText(*form, Qt::Key_Escape), "Version: 1.0.6");
}

TEST_F(FrmMainTest, ClosingTheWindowCleansUpTheSocketsOnce) {
    form->Form_Load();
    form->window().show();
    form->CloseMainWindow();
    form->window().close();
    int cleanups = 0;
    for (const std::string& call : sockets.calls) {
        cleanups += call == "WSACleanup";
    }
    EXPECT_EQ(cleanups, 1);
    EXPECT_EQ(programEnd.calls, 0);
}

TEST_F(FrmMainTest, AFailedSocketsStartEndsTheProgramAfterItsMessage) {
    sockets.startupResult = 10091;
    EXPECT_THROW(form->Form_Load(), testing::ProgramEnded);
    EXPECT_EQ(programEnd.calls, 1);
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].style, 0);
}

TEST(LocaleFormatTest, SeparatorsComeFromTheLocale) {
    const NumberFormat c = numberFormatFor(QLocale::c());
    EXPECT_EQ(c.decimalSeparator, ".");
    EXPECT_EQ(c.thousandsSeparator, ",");
    const NumberFormat german = numberFormatFor(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(german.decimalSeparator, ",");
    EXPECT_EQ(german.thousandsSeparator, ".");
    const NumberFormat english = numberFormatFor(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(english.decimalSeparator, ".");
    EXPECT_EQ(english.thousandsSeparator, ",");
    EXPECT_EQ(english.trueWord, "True");
    EXPECT_EQ(english.falseWord, "False");
}

TEST(BrowserCommandLineTest, DrivePathAndAddress) {
    EXPECT_EQ(browserCommandLine("C", "https://tolvex.org/"),
              "C:\\program files\\internet explorer\\iexplore.exe https://tolvex.org/");
    EXPECT_EQ(browserCommandLine("", "https://tolvex.org/"), "");
}

}  // namespace
}  // namespace tolvex
