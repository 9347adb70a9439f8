// The screen operations over the Qt windows.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTreeWidget>

#include "sections/Detectors.h"
#include "tests/provider/TreeBuilder.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/qt/QtScreen.h"
#include "wmi/Failure.h"
#include "wmi/linux/LinuxService.h"

namespace tolvex::ui {
namespace {

class QtScreenTest : public ::testing::Test {
  protected:
    // The application comes first: the window is built with the fixture.
    QApplication& app = testing::qtApp();
    MainWindow window;
    testing::RecordingPresenter messages;
    QtScreen screen{window, messages};
};

TEST_F(QtScreenTest, FieldTextsAreWrittenAndReadBackAsPlainText) {
    EXPECT_EQ(screen.text("lblCPUSpeed"), "...");
    screen.setText("lblCPUSpeed", "2600 MHz");
    EXPECT_EQ(screen.text("lblCPUSpeed"), "2600 MHz");

    // A volume label in markup shows its characters, not bold text.
    screen.setText("lblDRVVolName", "<b>x</b>");
    auto* label = window.findChild<QLabel*>("lblDRVVolName");
    EXPECT_EQ(label->text(), "<b>x</b>");
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(screen.text("lblDRVVolName"), "<b>x</b>");

    // UTF-8 round-trips; bytes that are not UTF-8 become the replacement
    // character rather than other letters.
    screen.setText("lblOSName", "Caf\xC3\xA9");
    EXPECT_EQ(screen.text("lblOSName"), "Caf\xC3\xA9");
    screen.setText("lblOSName", "A\xFF");
    EXPECT_EQ(screen.text("lblOSName"), "A\xEF\xBF\xBD");
}

// A value label the provider leaves without a value says why in its
// tooltip: the firmware tables only root may read, or that are not there.
TEST_F(QtScreenTest, ANullValueLabelSaysWhyInItsTooltip) {
    struct Case {
        const char* sidecar;
        const char* why;
    };
    const Case cases[] = {
        {"read:/sys/firmware/dmi/tables/DMI = EACCES\nread:/sys/firmware/dmi/entries = EACCES\n",
         "Needs administrator rights: /sys/firmware/dmi/tables/DMI\n"
         "Run Tolvex as root to read the firmware tables"},
        {"", "Not provided by this machine: /sys/firmware/dmi/tables/DMI"},
    };
    for (const Case& c : cases) {
        testing::TreeBuilder tree;
        tree.file("/proc/cpuinfo",
                  "processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\nmodel\t\t: 85\n"
                  "model name\t: Xeon\nstepping\t: 4\nflags\t\t: fpu lm\n\n")
            .file("/tolvex-syscalls.ini", c.sidecar);
        MainState state;
        state.ManagementService = linuxprov::makeLinuxService(tree.root());
        const NumberFormat format = NumberFormat::point();
        SectionContext context{screen, state, format};
        connectSelectorHandlers(context);
        DetectSystemCPUs(context);

        const auto toolTip = [&](const char* name) {
            return window.findChild<QLabel*>(name)->toolTip().toStdString();
        };
        // The unit alone, and a field left at "...".
        EXPECT_EQ(screen.text("lblExtClock"), " MHz");
        EXPECT_EQ(toolTip("lblExtClock"), c.why);
        EXPECT_EQ(screen.text("lblFamily"), "...");
        EXPECT_EQ(toolTip("lblFamily"), c.why);
        EXPECT_EQ(screen.text("lblManufacturer"), "GenuineIntel");
        EXPECT_EQ(toolTip("lblManufacturer"), "");
    }
}

TEST_F(QtScreenTest, UnknownNamesAreFailures) {
    EXPECT_THROW(screen.setText("lblNoSuchField", "x"), Failure);
    EXPECT_THROW(screen.addItem("cboNoSuch", "x"), Failure);
    // A name of the wrong kind is refused too.
    EXPECT_THROW(screen.addItem("lblCPUSpeed", "x"), Failure);
}

TEST_F(QtScreenTest, SettingTheProgressTextLoadsTheProgressWindowOnce) {
    EXPECT_FALSE(screen.hasLoadingWindow());
    screen.setText("lblLoad", "Detecting motherboard...");
    ASSERT_TRUE(screen.hasLoadingWindow());
    LoadingWindow* first = &screen.loadingWindow();
    screen.setText("lblLoad", "Detecting drive(s)...");
    EXPECT_EQ(&screen.loadingWindow(), first);
    EXPECT_EQ(screen.text("lblLoad"), "Detecting drive(s)...");
    screen.unloadLoadingWindow();
    EXPECT_FALSE(screen.hasLoadingWindow());
    // Loaded anew, it starts from its initial text.
    EXPECT_EQ(screen.text("lblLoad"), "Loading...");
}

TEST_F(QtScreenTest, SelectorRaisesItsHandlerWhenSetAndWhenTheUserPicks) {
    int clicks = 0;
    int indexSeen = -2;
    screen.setClickHandler("cboCPUs", [&] {
        ++clicks;
        indexSeen = screen.selectedIndex("cboCPUs");
    });
    EXPECT_EQ(screen.itemCount("cboCPUs"), 0);
    EXPECT_EQ(screen.selectedIndex("cboCPUs"), -1);
    screen.addItem("cboCPUs", "CPU0");
    screen.addItem("cboCPUs", "CPU1");
    EXPECT_EQ(clicks, 0);  // adding items selects nothing
    EXPECT_EQ(screen.itemCount("cboCPUs"), 2);

    screen.setSelectedIndex("cboCPUs", 0);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(indexSeen, 0);
    // Setting the index it already has raises the handler again.
    screen.setSelectedIndex("cboCPUs", 0);
    EXPECT_EQ(clicks, 2);

    // A user's pick, even of the selected item.
    auto* combo = window.findChild<QComboBox*>("cboCPUs");
    combo->setCurrentIndex(1);
    emit combo->activated(1);
    EXPECT_EQ(clicks, 3);
    EXPECT_EQ(indexSeen, 1);
    emit combo->activated(1);
    EXPECT_EQ(clicks, 4);

    EXPECT_THROW(screen.setSelectedIndex("cboCPUs", 2), Failure);
    EXPECT_EQ(clicks, 4);
}

TEST_F(QtScreenTest, TheSelectorsEditFieldOnlyShowsWhatIsTyped) {
    for (const char* name : {"cboCPUs", "cboMem", "cboNIC", "cboSCSI"}) {
        auto* combo = window.findChild<QComboBox*>(name);
        ASSERT_NE(combo, nullptr) << name;
        int clicks = 0;
        screen.setClickHandler(name, [&] { ++clicks; });
        screen.addItem(name, "First");
        screen.addItem(name, "Second");
        screen.setSelectedIndex(name, 0);
        ASSERT_EQ(clicks, 1);

        // Filled while its panel was hidden, as at the start, the selector
        // shows its choice in its edit field once its panel is shown.
        for (QWidget* shown = combo; shown != nullptr; shown = shown->parentWidget()) {
            shown->show();
        }
        ASSERT_TRUE(combo->isEditable()) << name;
        EXPECT_EQ(combo->lineEdit()->text(), "First") << name;

        // Typing another item's exact text and pressing Enter, then leaving
        // the field: the text shows, and nothing is inserted or chosen.
        QLineEdit* edit = combo->lineEdit();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, "Second");
        QTest::keyClick(edit, Qt::Key_Return);
        emit edit->editingFinished();
        EXPECT_EQ(combo->currentText(), "Second") << name;
        EXPECT_EQ(screen.selectedIndex(name), 0) << name;
        EXPECT_EQ(screen.itemCount(name), 2) << name;
        EXPECT_EQ(clicks, 1) << name;

        QTest::keyClicks(edit, " and more");
        QTest::keyClick(edit, Qt::Key_Enter);
        EXPECT_EQ(screen.itemCount(name), 2) << name;
        EXPECT_EQ(clicks, 1) << name;

        // A pick from the list still chooses and raises the handler.
        combo->setCurrentIndex(1);
        emit combo->activated(1);
        EXPECT_EQ(screen.selectedIndex(name), 1) << name;
        EXPECT_EQ(combo->currentText(), "Second") << name;
        EXPECT_EQ(clicks, 2) << name;
    }
}

TEST_F(QtScreenTest, ListBoxAndListViewRows) {
    screen.addListLine("lstIPAddr", "192.168.1.10");
    screen.addListLine("lstIPAddr", "10.0.0.1");
    auto* list = window.findChild<QListWidget*>("lstIPAddr");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(1)->text(), "10.0.0.1");

    EXPECT_EQ(screen.addRow("lvDrives", "C:"), 1);
    EXPECT_EQ(screen.addRow("lvDrives", "D:"), 2);
    screen.setRowText("lvDrives", 2, 2, "1,000");
    screen.setRowText("lvDrives", 2, 4, "50.0");
    auto* view = window.findChild<QTreeWidget*>("lvDrives");
    EXPECT_EQ(view->topLevelItem(1)->text(0), "D:");
    EXPECT_EQ(view->topLevelItem(1)->text(1), "1,000");
    EXPECT_EQ(view->topLevelItem(1)->text(3), "50.0");
    EXPECT_THROW(screen.setRowText("lvDrives", 3, 2, "x"), Failure);
    EXPECT_THROW(screen.setRowText("lvDrives", 1, 1, "x"), Failure);
    EXPECT_THROW(screen.setRowText("lvDrives", 1, 5, "x"), Failure);
    EXPECT_EQ(screen.selectedRow("lvDrives"), 0);
}

TEST_F(QtScreenTest, AClickOnTheDriveListRaisesItsHandlerWithTheRowItHit) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.findChild<QWidget*>("frSections(0)")->hide();
    window.findChild<QWidget*>("frSections(7)")->show();
    screen.addRow("lvDrives", "C:");
    screen.addRow("lvDrives", "D:");
    std::vector<int> rows;
    screen.setClickHandler("lvDrives", [&] { rows.push_back(screen.selectedRow("lvDrives")); });

    auto* view = window.findChild<QTreeWidget*>("lvDrives");
    const QRect second = view->visualItemRect(view->topLevelItem(1));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, second.center());
    // A click below the rows is a click of the list view too.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      QPoint(10, view->viewport()->height() - 5));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], 2);
    window.hide();
}

TEST_F(QtScreenTest, PanelsAreShownAndHidden) {
    EXPECT_TRUE(screen.isVisible("frSections(0)"));
    EXPECT_FALSE(screen.isVisible("frSections(3)"));
    screen.setVisible("frSections(3)", true);
    EXPECT_TRUE(screen.isVisible("frSections(3)"));
    EXPECT_THROW(screen.setVisible("frSections(8)", true), Failure);
}

TEST_F(QtScreenTest, MessageBoxesGoToThePresenter) {
    screen.messageBox("text", "", kStylePlain);
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].title, "");
}

TEST(MessageBoxTest, StyleGivesIconTitleAndOneOkButton) {
    testing::qtApp();
    struct Case {
        int style;
        QMessageBox::Icon icon;
    };
    for (const Case& c : {Case{0, QMessageBox::NoIcon}, Case{48, QMessageBox::Warning},
                          Case{64, QMessageBox::Information}}) {
        auto box = makeMessageBox("<i>Unable</i> to start", "", c.style);
        EXPECT_EQ(box->icon(), c.icon) << c.style;
        EXPECT_EQ(box->windowTitle(), "prjTolvex");
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(box->text(), "<i>Unable</i> to start");
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    }
    EXPECT_EQ(makeMessageBox("x", "IE Startup Error", 48)->windowTitle(), "IE Startup Error");
}

}  // namespace
}  // namespace tolvex::ui
