#include "ui/qt/Windows.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <map>

#include "ui/ScreenDefinitions.h"
#include "ui/qt/PanelCopy.h"
#include "ui/qt/ScreenBuilder.h"
#include "ui/qt/Text.h"

namespace tolvex::ui {

namespace {

// The index of a control-array name: 3 for "mnuFileItem(3)".
int arrayIndex(const std::string& name) {
    const auto open = name.find('(');
    return open == std::string::npos ? 0 : std::stoi(name.substr(open + 1));
}

Qt::WindowFlags fixedWindowFlags(bool minimizeBox) {
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (minimizeBox) {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    return flags;
}

QWidget* buildClient(const WindowDefinition& definition, QWidget* window) {
    window->setObjectName(fromUtf8(definition.name));
    window->setWindowTitle(fromUtf8(definition.caption));
    window->setWindowIcon(windowIcon());
    window->setFont(screenFont(FontRole::Regular));
    auto* client = new QWidget(window);
    client->setObjectName(fromUtf8(definition.name + "Client"));
    buildElements(definition, client);
    return client;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    const WindowDefinition& definition = frmMainDefinition();
    setWindowFlags(fixedWindowFlags(definition.minimizeBox));
    QWidget* client = buildClient(definition, this);
    setCentralWidget(client);

    QMenuBar* bar = menuBar();
    bar->setFont(screenFont(FontRole::Regular));
    bar->setNativeMenuBar(false);
    std::map<std::string, QMenu*> menus;
    for (const MenuItem& item : definition.menu) {
        const QString name = fromUtf8(item.name);
        const QString caption = fromUtf8(item.caption);
        if (item.dropDown) {
            QMenu* menu = bar->addMenu(caption);
            menu->setObjectName(name);
            menu->menuAction()->setObjectName(name);
            menus[item.name] = menu;
            continue;
        }
        QAction* action = nullptr;
        const auto owner = menus.find(item.menu);
        if (owner != menus.end()) {
            action = item.caption == "-" ? owner->second->addSeparator()
                                         : owner->second->addAction(caption);
        } else {
            action = bar->addAction(caption);
        }
        action->setObjectName(name);
        const int index = arrayIndex(item.name);
        if (item.name.rfind("mnuSections", 0) == 0) {
            connect(action, &QAction::triggered, this,
                    [this, index] { emit sectionMenuClicked(index); });
        } else {
            connect(action, &QAction::triggered, this,
                    [this, index] { emit fileMenuClicked(index); });
        }
    }
    m_copy = new PanelCopy(this);
    // No element moves or resizes with the window.
    adjustSize();
    setFixedSize(sizeHint());
}

QAction* MainWindow::menuAction(const QString& name) const {
    return findChild<QAction*>(name);
}

bool MainWindow::event(QEvent* event) {
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::WindowActivate) {
        emit activated();
    }
    return handled;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    emit unloading();
    event->accept();
}

LoadingWindow::LoadingWindow(QWidget* parent) : QWidget(parent) {
    const WindowDefinition& definition = frmLoadingDefinition();
    setWindowFlags(fixedWindowFlags(definition.minimizeBox));
    QWidget* client = buildClient(definition, this);
    setFixedSize(client->size());
}

AboutWindow::AboutWindow(QWidget* parent) : QDialog(parent) {
    const WindowDefinition& definition = frmAboutDefinition();
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    QWidget* client = buildClient(definition, this);
    setFixedSize(client->size());
    if (auto* ok = findChild<QPushButton*>(QStringLiteral("cmdCancel"))) {
        // The button lies below the client area, out of sight; it is the one
        // element that takes the focus, so Enter activates it.
        ok->setDefault(true);
        ok->setAutoDefault(true);
        ok->setFocus();
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    }
}

}  // namespace tolvex::ui
