#include "ui/qt/PanelCopy.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QShortcut>
#include <QTreeWidget>

#include "ui/PanelText.h"
#include "ui/ScreenDefinitions.h"
#include "ui/qt/ScreenBuilder.h"
#include "ui/qt/Text.h"

namespace tolvex::ui {

namespace {

std::vector<std::string> cells(const QTreeWidgetItem* item) {
    std::vector<std::string> row;
    for (int column = 0; column < item->columnCount(); ++column) {
        row.push_back(utf8(item->text(column)));
    }
    return row;
}

// The main window's widgets read back for panelText().
class WidgetReader : public PanelReader {
  public:
    explicit WidgetReader(const QWidget& window) : m_window(window) {}

    std::string labelText(std::string_view label) const override {
        const auto* widget = find<QLabel>(label);
        return widget ? utf8(widget->text()) : std::string();
    }
    std::string chosenItem(std::string_view selector) const override {
        const auto* combo = find<QComboBox>(selector);
        return combo && combo->currentIndex() >= 0 ? utf8(combo->itemText(combo->currentIndex()))
                                                   : std::string();
    }
    std::vector<std::vector<std::string>> rows(std::string_view list) const override {
        std::vector<std::vector<std::string>> rows;
        if (const auto* view = find<QTreeWidget>(list)) {
            for (int i = 0; i < view->topLevelItemCount(); ++i) {
                rows.push_back(cells(view->topLevelItem(i)));
            }
        } else if (const auto* box = find<QListWidget>(list)) {
            for (int i = 0; i < box->count(); ++i) {
                rows.push_back({utf8(box->item(i)->text())});
            }
        }
        return rows;
    }

  private:
    template <class Widget>
    const Widget* find(std::string_view name) const {
        return m_window.findChild<const Widget*>(fromUtf8(std::string(name)));
    }
    const QWidget& m_window;
};

// The value label an element shows or introduces, or nullptr.
const QLabel* valueLabel(const QWidget& window, const QLabel* label) {
    const Element* element = findElement(frmMainDefinition(), utf8(label->objectName()));
    if (!element) {
        return nullptr;
    }
    if (element->colour == ColourRole::Value || element->colour == ColourRole::Count) {
        return label;
    }
    if (!element->buddy.empty()) {
        return window.findChild<const QLabel*>(fromUtf8(element->buddy));
    }
    return nullptr;
}

}  // namespace

PanelCopy::PanelCopy(QMainWindow* window) : QObject(window), m_window(window) {
    auto* shortcut = new QShortcut(QKeySequence::Copy, window);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this,
            [this] { QGuiApplication::clipboard()->setText(copyText()); });

    QWidget* client = window->centralWidget();
    client->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(client, &QWidget::customContextMenuRequested, this, [this, client](QPoint pos) {
        QWidget* target = client->childAt(pos);
        if (!target) {
            target = client;
        }
        contextMenu(target, target->mapFrom(client, pos))->popup(client->mapToGlobal(pos));
    });
    // The edit fields and labels would take Ctrl+C for themselves even with
    // nothing selected; the window's shortcut decides instead.
    for (QWidget* widget : client->findChildren<QWidget*>()) {
        widget->installEventFilter(this);
    }
}

QString PanelCopy::panelText() const {
    return fromUtf8(ui::shownPanelText(
        frmMainDefinition(), WidgetReader(*m_window), [this](std::string_view panel) {
            const auto* widget = m_window->findChild<const QWidget*>(fromUtf8(std::string(panel)));
            return widget && !widget->isHidden();
        }));
}

QString PanelCopy::copyText() const {
    QWidget* focus = m_window->focusWidget();
    if (auto* edit = qobject_cast<QLineEdit*>(focus); edit && edit->hasSelectedText()) {
        return edit->selectedText();
    }
    if (auto* label = qobject_cast<QLabel*>(focus); label && label->hasSelectedText()) {
        return label->selectedText();
    }
    if (auto* view = qobject_cast<QTreeWidget*>(focus); view && !view->selectedItems().isEmpty()) {
        return fromUtf8(tabSeparated(cells(view->selectedItems().front())));
    }
    if (auto* list = qobject_cast<QListWidget*>(focus); list && !list->selectedItems().isEmpty()) {
        return list->selectedItems().front()->text();
    }
    return panelText();
}

QString PanelCopy::valueAt(QWidget* widget, QPoint pos) const {
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        const QLabel* value = valueLabel(*m_window, label);
        return value ? value->text() : QString();
    }
    QWidget* owner = widget->parentWidget();
    if (auto* view = qobject_cast<QTreeWidget*>(owner); view && widget == view->viewport()) {
        const QTreeWidgetItem* item = view->itemAt(pos);
        return item ? fromUtf8(tabSeparated(cells(item))) : QString();
    }
    if (auto* list = qobject_cast<QListWidget*>(owner); list && widget == list->viewport()) {
        const QListWidgetItem* item = list->itemAt(pos);
        return item ? item->text() : QString();
    }
    auto* combo = qobject_cast<QComboBox*>(widget);
    if (!combo) {
        combo = qobject_cast<QComboBox*>(owner);
    }
    if (combo && combo->currentIndex() >= 0) {
        return combo->itemText(combo->currentIndex());
    }
    return {};
}

QMenu* PanelCopy::contextMenu(QWidget* widget, QPoint pos) {
    auto* menu = new QMenu(m_window);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QString value = valueAt(widget, pos);
    QAction* copy = menu->addAction(tr("Copy"));
    copy->setObjectName(QStringLiteral("copyValue"));
    copy->setEnabled(!value.isEmpty());
    connect(copy, &QAction::triggered, this,
            [value] { QGuiApplication::clipboard()->setText(value); });
    QAction* panel = menu->addAction(tr("Copy panel"));
    panel->setObjectName(QStringLiteral("copyPanel"));
    connect(panel, &QAction::triggered, this,
            [this] { QGuiApplication::clipboard()->setText(panelText()); });
    return menu;
}

bool PanelCopy::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        // Left unaccepted, the key goes to the window's shortcut.
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace tolvex::ui
