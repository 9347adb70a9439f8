// A snapshot that tolvex-query.exe took of Wine's management service, opened
// on Linux: the Qt window over it must show, read back from its widgets,
// the texts tolvex.exe's own controls showed live over that service
// (tests/windows/SnapshotTest.cpp writes them), apart from the values the
// machine changes between the two reads. Both use the same number format,
// so the locales cannot differ.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QListWidget>
#include <QTreeWidget>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/CommandLine.h"
#include "net/HostAnswer.h"
#include "app/frmMain.h"
#include "tests/support/RecordingProgramEnd.h"
#include "tests/support/ScreenPicture.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/qt/QtWindowSystem.h"

namespace tolvex {
namespace {

testing::ControlReader readerOf(ui::MainWindow& window) {
    testing::ControlReader read;
    read.items = [&window](const std::string& name) {
        std::vector<std::string> out;
        auto* combo = window.findChild<QComboBox*>(QString::fromStdString(name));
        for (int k = 0; combo && k < combo->count(); ++k) {
            out.push_back(combo->itemText(k).toStdString());
        }
        return out;
    };
    read.lines = [&window](const std::string& name) {
        std::vector<std::string> out;
        auto* list = window.findChild<QListWidget*>(QString::fromStdString(name));
        for (int k = 0; list && k < list->count(); ++k) {
            out.push_back(list->item(k)->text().toStdString());
        }
        return out;
    };
    read.rows = [&window](const std::string& name) {
        std::vector<std::vector<std::string>> out;
        auto* view = window.findChild<QTreeWidget*>(QString::fromStdString(name));
        for (int r = 0; view && r < view->topLevelItemCount(); ++r) {
            std::vector<std::string> row;
            for (int c = 0; c < view->columnCount(); ++c) {
                row.push_back(view->topLevelItem(r)->text(c).toStdString());
            }
            out.push_back(row);
        }
        return out;
    };
    return read;
}

// The picture without what the machine changes by itself between the two
// reads (Wine's boot time is its server's start): free memory, free space
// and its share, the last boot time.
std::string steady(const std::string& picture) {
    std::istringstream in(picture);
    std::string out;
    for (std::string line; std::getline(in, line);) {
        for (const char* moving :
             {"lblMEMAvailPhys = ", "lblMEMAvailVirt = ", "lblOSLastBoot = "}) {
            if (line.rfind(moving, 0) == 0) {
                line = std::string(moving) + "(changes)";
            }
        }
        if (line.rfind("lvDrives row", 0) == 0) {
            // name | size | free | percent: the first two stay.
            std::size_t bar = 0;
            for (int k = 0; k < 3 && bar != std::string::npos; ++k) {
                bar = line.find(" | ", bar + 1);
            }
            line = line.substr(0, bar);
        }
        out += line + "\n";
    }
    return out;
}

TEST(SnapshotAcrossPlatforms, TheWindowOverAWineSnapshotShowsWhatTolvexExeShowedLive) {
    const char* snapshotFile = std::getenv("TOLVEX_WINDOWS_SNAPSHOT");
    const char* pictureFile = std::getenv("TOLVEX_WINDOWS_PICTURE");
    if (snapshotFile == nullptr || pictureFile == nullptr) {
        GTEST_SKIP() << "run by the Windows tests (windows.snapshot_on_linux)";
    }
    std::ifstream in(pictureFile, std::ios::binary);
    ASSERT_TRUE(in) << pictureFile;
    std::stringstream shownLive;
    shownLive << in.rdbuf();

    testing::qtApp();
    const ProgramChoice choice = readCommandLine({"--snapshot", snapshotFile});
    ASSERT_TRUE(choice.snapshot) << choice.error;
    AnsweringSockets sockets(snapshot::hostOf(*choice.snapshot));
    testing::RecordingPresenter messages;
    ui::QtWindowSystem windows(messages);
    testing::RecordingProgramEnd programEnd;
    testing::RecordingBrowser browser;
    frmMain form(
        {[&](std::string_view moniker) { return connectSnapshot(choice.snapshot, moniker); },
         windows, sockets, programEnd, browser, NumberFormat::point()});
    form.Form_Load();
    form.Form_Activate();
    std::string shown = testing::walkedPicture(windows.screen(), readerOf(windows.mainWindow()));
    for (const auto& box : messages.boxes) {
        shown += "box " + box.title + " / " + box.text + "\n";
    }
    EXPECT_EQ(steady(shown), steady(shownLive.str()));
    form.CloseMainWindow();
}

}  // namespace
}  // namespace tolvex
