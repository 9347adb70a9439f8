// frmMain over the Qt window system, offscreen: the initial screen, the menu
// actions, the About box, the progress window, the selectors after a failed
// detection and the window's close.
#include <gtest/gtest.h>

#include <memory>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include "app/frmMain.h"
#include "tests/support/InMemoryService.h"
#include "tests/support/RecordingProgramEnd.h"
#include "tests/support/SampleMachine.h"
#include "tests/support/ScriptedSockets.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ScreenDefinitions.h"
#include "ui/qt/LocaleFormat.h"
#include "ui/qt/QtWindowSystem.h"
#include "wmi/Failure.h"

namespace tolvex {
namespace {

using testing::RecordingBrowser;
using testing::RecordingPresenter;

class QtFrmMainTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::qtApp();
        testing::addSampleMachine(*service);
        windows = std::make_unique<ui::QtWindowSystem>(messages);
        form = std::make_unique<frmMain>(
            FrmMainParts{[this](std::string_view moniker) -> ServicePtr {
                             monikers.emplace_back(moniker);
                             if (connectFails) {
                                 throw Failure("The RPC server is unavailable.");
                             }
                             return service;
                         },
                         *windows, sockets, programEnd, browser, NumberFormat::point()});
        messages.progress = [this] {
            return windows->loadingWindowLoaded() ? windows->screen().text("lblLoad")
                                                  : std::string();
        };
    }

    void TearDown() override {
        form.reset();
        windows.reset();
    }

    ui::MainWindow& window() { return windows->mainWindow(); }

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
    std::unique_ptr<ui::QtWindowSystem> windows;
    std::unique_ptr<frmMain> form;
};

TEST_F(QtFrmMainTest, TheMenuBarsOverflowButtonDrawsTheStylesOwnIcon) {
    // The button shows when the window is too narrow for the menu; its icon
    // is read when first drawn.
    auto* overflow = window().findChild<QToolButton*>("qt_menubar_ext_button");
    ASSERT_NE(overflow, nullptr);
    auto* proxy = dynamic_cast<QProxyStyle*>(QApplication::style());
    ASSERT_NE(proxy, nullptr);
    std::unique_ptr<QStyle> own(QStyleFactory::create(proxy->baseStyle()->name()));
    ASSERT_NE(own, nullptr) << proxy->baseStyle()->name().toStdString();
    const QIcon expected = own->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton);
    ASSERT_FALSE(overflow->icon().isNull());
    EXPECT_EQ(overflow->icon().availableSizes(), expected.availableSizes());
    for (const int size : {12, 16, 32}) {
        EXPECT_EQ(overflow->icon().pixmap(size).toImage(), expected.pixmap(size).toImage()) << size;
    }
}

TEST_F(QtFrmMainTest, FreshWindowShowsTheSystemPanelAndInitialTexts) {
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
    EXPECT_EQ(window().findChild<QListWidget*>("lstIPAddr")->count(), 0);
    EXPECT_EQ(window().findChild<QTreeWidget*>("lvDrives")->topLevelItemCount(), 0);
    // Load connects and starts the sockets, and queries nothing.
    EXPECT_EQ(monikers, std::vector<std::string>{"WinMgmts:"});
    EXPECT_EQ(service->callCount(), 0);
    EXPECT_EQ(form->state().CurrentSection, 0);
    EXPECT_FALSE(form->state().DetectionDone);
    EXPECT_EQ(sockets.calls.front(), "WSAStartup");
}

TEST_F(QtFrmMainTest, WithoutTheServiceThreeDetectionErrorsAppearDuringTheirSteps) {
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
    EXPECT_FALSE(windows->loadingWindowLoaded());
}

TEST_F(QtFrmMainTest, MenuActionsReachTheHandlers) {
    form->Form_Load();
    window().menuAction("mnuSections(6)")->trigger();
    EXPECT_EQ(visiblePanels(), std::vector<std::string>{"frSections(5)"});
    browser.succeeds = true;
    window().menuAction("mnuFileItem(1)")->trigger();
    EXPECT_EQ(browser.opened, std::vector<std::string>{kAuthorWebPage});
    EXPECT_TRUE(messages.boxes.empty());
}

// Opens the About box, reads lblVer once it is up, and presses Enter (or
// Esc) on it; the box must close for the File item's handler to return.
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

TEST_F(QtFrmMainTest, AboutBoxShowsTheVersionEachTimeAndClosesWithEnterOrEsc) {
    form->Form_Load();
    EXPECT_EQ(aboutBoxText(*form, Qt::Key_Return), "Version: 1.0.6");
    EXPECT_EQ(aboutBoxText(*form, Qt::Key_Return), "Version: 1.0.6");
    EXPECT_EQ(aboutBoxText(*form, Qt::Key_Escape), "Version: 1.0.6");
}

TEST_F(QtFrmMainTest, ClosingTheWindowCleansUpTheSocketsOnce) {
    form->Form_Load();
    window().show();
    form->CloseMainWindow();
    window().close();
    int cleanups = 0;
    for (const std::string& call : sockets.calls) {
        cleanups += call == "WSACleanup";
    }
    EXPECT_EQ(cleanups, 1);
    EXPECT_EQ(programEnd.calls, 0);
}

TEST_F(QtFrmMainTest, ASelectorWhoseListingFailedShowsNoItemAsChosen) {
    // The second processor's name cannot be read: the first stays listed,
    // and nothing is chosen, so the combo box must not show its name while
    // the details read "...".
    service->inject(
        {testing::InMemoryService::Call::Property, "Win32_Processor", 1, "Name", "Not found"});
    form->Form_Load();
    form->Form_Activate();
    auto* combo = window().findChild<QComboBox*>("cboCPUs");
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->count(), 1);
    EXPECT_EQ(combo->currentIndex(), -1);
    EXPECT_TRUE(combo->currentText().isEmpty()) << combo->currentText().toStdString();
    EXPECT_EQ(windows->screen().text("lblCPUSpeed"), "...");
    // A section whose listing succeeded shows its first item, chosen.
    auto* memory = window().findChild<QComboBox*>("cboMem");
    EXPECT_EQ(memory->currentIndex(), 0);
    EXPECT_EQ(memory->currentText(), memory->itemText(0));
}

TEST_F(QtFrmMainTest, TheProgressWindowIsOnViewDuringTheStepsAndUnloadedAfter) {
    std::vector<std::string> seen;
    service->onInjectedFailure = [&] {
        seen.push_back(windows->loadingWindowLoaded() &&
                               windows->qtScreen().loadingWindow().isVisible()
                           ? windows->screen().text("lblLoad")
                           : "not on view");
    };
    service->inject(
        {testing::InMemoryService::Call::Enumerate, "Win32_VideoController", -1, "", "Not found"});
    form->Form_Load();
    form->Form_Activate();
    EXPECT_EQ(seen, std::vector<std::string>{"Detecting video adapter..."});
    EXPECT_FALSE(windows->loadingWindowLoaded());
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

// The Boolean words a Windows machine set to each language shows; English
// is the fallback for every other language.
TEST(LocaleFormatTest, BooleanWordsFollowTheInterfaceLanguage) {
    testing::qtApp();
    struct Case {
        QLocale locale;
        const char* trueWord;
        const char* falseWord;
    };
    const Case cases[] = {
        {QLocale(QLocale::German, QLocale::Austria), "Wahr", "Falsch"},
        {QLocale(QLocale::French, QLocale::Canada), "Vrai", "Faux"},
        {QLocale(QLocale::Spanish, QLocale::Mexico), "Verdadero", "Falso"},
        {QLocale(QLocale::Italian, QLocale::Italy), "Vero", "Falso"},
        {QLocale(QLocale::Portuguese, QLocale::Brazil), "Verdadeiro", "Falso"},
        {QLocale(QLocale::Dutch, QLocale::Belgium), "Waar", "Onwaar"},
        {QLocale(QLocale::Polish, QLocale::Poland), "Prawda", "Fa\xC5\x82sz"},
        {QLocale(QLocale::Russian, QLocale::Russia),
         "\xD0\x98\xD1\x81\xD1\x82\xD0\xB8\xD0\xBD\xD0\xB0", "\xD0\x9B\xD0\xBE\xD0\xB6\xD1\x8C"},
        {QLocale(QLocale::Japanese, QLocale::Japan), "\xE7\x9C\x9F", "\xE5\x81\xBD"},
        {QLocale(QLocale::Chinese, QLocale::China), "\xE7\x9C\x9F", "\xE5\x81\x87"},
        {QLocale(QLocale::English, QLocale::UnitedKingdom), "True", "False"},
        {QLocale(QLocale::Finnish, QLocale::Finland), "True", "False"},
        {QLocale::c(), "True", "False"},
    };
    for (const Case& c : cases) {
        const std::string name = c.locale.name().toStdString();
        const auto translator = installTranslations(c.locale);
        const NumberFormat format = numberFormatFor(c.locale);
        EXPECT_EQ(format.trueWord, c.trueWord) << name;
        EXPECT_EQ(format.falseWord, c.falseWord) << name;
        if (translator) {
            QCoreApplication::removeTranslator(translator.get());
        }
    }
}

TEST_F(QtFrmMainTest, AGermanUserSeesGermanWordsForACompressedFlag) {
    const QLocale german(QLocale::German, QLocale::Germany);
    const auto translator = installTranslations(german);
    ASSERT_NE(translator, nullptr);
    // The program reads its format once, at start; so does this window.
    form.reset();
    form = std::make_unique<frmMain>(
        FrmMainParts{[this](std::string_view) -> ServicePtr { return service; }, *windows, sockets,
                     programEnd, browser, numberFormatFor(german)});
    form->Form_Load();
    form->Form_Activate();
    auto* view = window().findChild<QTreeWidget*>("lvDrives");
    ASSERT_NE(view, nullptr);
    ASSERT_GE(view->topLevelItemCount(), 1);
    view->topLevelItem(0)->setSelected(true);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton);
    EXPECT_EQ(windows->screen().text("lblDRVComp"), "Falsch");
    QCoreApplication::removeTranslator(translator.get());
}

}  // namespace
}  // namespace tolvex
