#include "ui/qt/QtWindowSystem.h"

#include <QApplication>
#include <QIconEngine>
#include <QLabel>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleFactory>
#include <functional>
#include <optional>

#include "ui/qt/ScreenBuilder.h"
#include "ui/qt/Text.h"

namespace tolvex::ui {

namespace {

// An icon read from its source when it is first drawn or measured.
class DeferredIconEngine : public QIconEngine {
  public:
    explicit DeferredIconEngine(std::function<QIcon()> load) : m_load(std::move(load)) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        return icon().pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return icon().availableSizes(mode, state);
    }
    bool isNull() override { return icon().isNull(); }
    QIconEngine* clone() const override {
        auto* copy = new DeferredIconEngine(m_load);
        copy->m_icon = m_icon;
        return copy;
    }

  private:
    QIcon& icon() {
        if (!m_icon) {
            m_icon = m_load();
        }
        return *m_icon;
    }

    std::function<QIcon()> m_load;
    std::optional<QIcon> m_icon;
};

// The desktop's style, but for one icon: a menu bar asks for its overflow
// button's icon when it is made, and Qt reads that icon from a PNG through
// a reader that first loads every image format plugin to look at it. The
// button shows only when the menu bar is too narrow for its items, so the
// icon is read when first drawn instead.
class ProgramStyle : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;
    QIcon standardIcon(StandardPixmap which, const QStyleOption* option,
                       const QWidget* widget) const override {
        if (which == SP_ToolBarHorizontalExtensionButton && option == nullptr) {
            QStyle* base = baseStyle();
            return QIcon(new DeferredIconEngine(
                [base, which] { return base->standardIcon(which, nullptr, nullptr); }));
        }
        return QProxyStyle::standardIcon(which, option, widget);
    }
};

// The program's style, set once per application before its first window
// is built. A desktop style the factory cannot make again is kept as it is.
void useProgramStyle() {
    if (dynamic_cast<ProgramStyle*>(QApplication::style()) != nullptr) {
        return;
    }
    if (QStyle* desktop = QStyleFactory::create(QApplication::style()->name())) {
        QApplication::setStyle(new ProgramStyle(desktop));
    }
}

std::unique_ptr<MainWindow> makeMainWindow() {
    useProgramStyle();
    return std::make_unique<MainWindow>();
}

}  // namespace

QtWindowSystem::QtWindowSystem(MessagePresenter& messages)
    : m_window(makeMainWindow()), m_screen(std::make_unique<QtScreen>(*m_window, messages)) {
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
