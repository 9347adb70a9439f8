#include "ui/qt/QtWindowSystem.h"

#include <QApplication>
#include <QLabel>

#include "ui/qt/ScreenBuilder.h"
#include "ui/qt/Text.h"

namespace tolvex::ui {

QtWindowSystem::QtWindowSystem(MessagePresenter& messages)
    : m_window(std::make_unique<MainWindow>()),
      m_screen(std::make_unique<QtScreen>(*m_window, messages)) {
    // The events reach whatever handlers are set when they happen; a
    // failure escaping one is kept and raised again from runEventLoop.
    connect(m_window.get(), &MainWindow::activated, this, [this] {
        if (m_events.activated) {
            m_screen->handlerFailures().guarded(m_events.activated);
        }
    });
    connect(m_window.get(), &MainWindow::unloading, this, [this] {
        if (m_events.unloading) {
            m_screen->handlerFailures().guarded(m_events.unloading);
        }
    });
    connect(m_window.get(), &MainWindow::sectionMenuClicked, this, [this](int index) {
        if (m_events.sectionMenuClicked) {
            m_screen->handlerFailures().guarded(
                [&] { m_events.sectionMenuClicked(static_cast<std::int16_t>(index)); });
        }
    });
    connect(m_window.get(), &MainWindow::fileMenuClicked, this, [this](int index) {
        if (m_events.fileMenuClicked) {
            m_screen->handlerFailures().guarded(
                [&] { m_events.fileMenuClicked(static_cast<std::int16_t>(index)); });
        }
    });
}

QtWindowSystem::~QtWindowSystem() {
    m_events = {};
    // The screen watches the window's widgets; it goes first.
    m_screen.reset();
    m_window.reset();
}

Screen& QtWindowSystem::screen() {
    return *m_screen;
}

void QtWindowSystem::setEvents(WindowEvents events) {
    m_events = std::move(events);
}

void QtWindowSystem::showMainWindow() {
    m_window->adjustSize();
    centreOnScreen(m_window.get());
    m_window->show();
    // Ask for activation too: where no window manager hands it out, the
    // first activation (and with it the start-up sequence) still comes.
    m_window->raise();
    m_window->activateWindow();
}

void QtWindowSystem::closeMainWindow() {
    m_window->close();
}

void QtWindowSystem::showLoadingWindow() {
    LoadingWindow& loading = m_screen->loadingWindow();
    loading.adjustSize();
    centreOnScreen(&loading);
    loading.show();
    loading.raise();
}

bool QtWindowSystem::loadingWindowLoaded() const {
    return m_screen->hasLoadingWindow();
}

void QtWindowSystem::unloadLoadingWindow() {
    m_screen->unloadLoadingWindow();
}

void QtWindowSystem::showAboutBox(const std::string& versionText) {
    AboutWindow box(m_window.get());
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("lblVer"))) {
        label->setText(fromUtf8(versionText));
    }
    box.exec();
    // A failure kept while the box was open ended its loop; it goes on to
    // the handler that opened the box.
    m_screen->handlerFailures().rethrowPending();
}

int QtWindowSystem::runEventLoop() {
    HandlerFailures& failures = m_screen->handlerFailures();
    failures.rethrowPending();  // kept before the loop started
    const int status = QApplication::exec();
    failures.rethrowPending();
    return status;
}

}  // namespace tolvex::ui
