// A failure escaping a handler the user's action raised never crosses Qt's
// event loop: it is kept, the loop ends, and runEventLoop raises it.
#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <stdexcept>

#include "tests/ui/UiTestSupport.h"
#include "ui/qt/QtWindowSystem.h"

namespace tolvex {
namespace {

// What runEventLoop raised, or what went wrong instead. The loop is ended
// after ten seconds if nothing ends it.
std::string raisedFromTheLoop(ui::QtWindowSystem& windows) {
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, [] { QCoreApplication::exit(2); });
    bound.start(10000);
    try {
        const int status = windows.runEventLoop();
        return "the loop ended with status " + std::to_string(status) + " and raised nothing";
    } catch (const std::runtime_error& error) {
        return error.what();
    }
}

TEST(QtHandlerFailure, AFailureFromAClickOrAMenuCommandIsRaisedFromTheEventLoop) {
    testing::qtApp();
    testing::RecordingPresenter messages;
    ui::QtWindowSystem windows(messages);
    ui::MainWindow& window = windows.mainWindow();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.findChild<QWidget*>("frSections(0)")->hide();
    window.findChild<QWidget*>("frSections(7)")->show();
    auto* drives = window.findChild<QTreeWidget*>("lvDrives");
    windows.screen().setClickHandler("lvDrives",
                                     [] { throw std::runtime_error("failed in a click"); });
    WindowEvents events;
    events.fileMenuClicked = [](std::int16_t) { throw std::runtime_error("failed in a command"); };
    windows.setEvents(events);

    const auto click = [drives] { QTest::mouseClick(drives->viewport(), Qt::LeftButton); };
    const auto command = [&window] { window.menuAction("mnuFileItem(1)")->trigger(); };
    // As the user's actions come: from inside the running loop.
    QTimer::singleShot(0, click);
    EXPECT_EQ(raisedFromTheLoop(windows), "failed in a click");
    QTimer::singleShot(0, command);
    EXPECT_EQ(raisedFromTheLoop(windows), "failed in a command");
    // Before the loop runs, the failure is kept for it; once raised, it is
    // gone, and the loop runs again until it is ended.
    EXPECT_NO_THROW(command());
    EXPECT_EQ(raisedFromTheLoop(windows), "failed in a command");
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    EXPECT_EQ(raisedFromTheLoop(windows), "the loop ended with status 0 and raised nothing");
    window.hide();
}

}  // namespace
}  // namespace tolvex
