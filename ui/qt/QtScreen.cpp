#include "ui/qt/QtScreen.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>
#include <QTreeWidget>

#include "ui/ScreenDefinitions.h"
#include "ui/qt/ScreenBuilder.h"
#include "ui/qt/Text.h"
#include "wmi/Failure.h"

namespace tolvex::ui {

namespace {

// The failure of an operation on an element that cannot take it, worded as
// the window system words it.
[[noreturn]] void invalidProperty(std::string_view name) {
    throw Failure("Invalid property value: " + std::string(name));
}

}  // namespace

QtScreen::QtScreen(MainWindow& main, MessagePresenter& messages)
    : m_main(main), m_messages(messages) {
    for (QWidget* widget : m_main.findChildren<QWidget*>()) {
        const std::string name = utf8(widget->objectName());
        // The first of a name wins, as a search from the window would find.
        if (!name.empty()) {
            m_mainElements.emplace(name, widget);
        }
    }
    for (QComboBox* combo : m_main.findChildren<QComboBox*>()) {
        // A user's pick raises the click handler, even of the item already
        // selected; index changes made by code do not come through here.
        const std::string name = utf8(combo->objectName());
        connect(combo, &QComboBox::activated, this,
                [this, name](int) { m_failures.guarded([&] { raiseClick(name); }); });
    }
    for (QTreeWidget* view : m_main.findChildren<QTreeWidget*>()) {
        view->viewport()->installEventFilter(this);
    }
}

QtScreen::~QtScreen() {
    unloadLoadingWindow();
}

LoadingWindow& QtScreen::loadingWindow() {
    if (m_loading.isNull()) {
        m_loading = new LoadingWindow();
        m_loading->setAttribute(Qt::WA_DeleteOnClose);
    }
    return *m_loading;
}

void QtScreen::unloadLoadingWindow() {
    if (!m_loading.isNull()) {
        LoadingWindow* window = m_loading.data();
        m_loading.clear();
        window->hide();
        delete window;
    }
}

QWidget* QtScreen::find(std::string_view name) const {
    if (name.empty()) {
        return nullptr;
    }
    const auto known = m_mainElements.find(name);
    if (known != m_mainElements.end() && !known->second.isNull()) {
        return known->second.data();
    }
    const QString objectName = fromUtf8(name);
    if (findElement(frmLoadingDefinition(), name)) {
        // Naming an element of frmLoading loads it.
        return const_cast<QtScreen*>(this)->loadingWindow().findChild<QWidget*>(objectName);
    }
    return nullptr;
}

template <class Widget>
Widget* QtScreen::element(std::string_view name) const {
    auto* widget = qobject_cast<Widget*>(find(name));
    if (!widget) {
        invalidProperty(name);
    }
    return widget;
}

void QtScreen::setNullNote(std::string_view field, const std::string& note) {
    auto* label = element<QLabel>(field);
    if (note.empty()) {
        if (const auto it = m_nullNotes.find(field); it != m_nullNotes.end()) {
            m_nullNotes.erase(it);
        }
    } else {
        m_nullNotes.insert_or_assign(std::string(field), note);
    }
    updateToolTip(label);
}

// The one place a value label's tooltip is decided: why it shows no value
// (the sections' note), else its whole text when it is too long for the
// field, else nothing.
void QtScreen::updateToolTip(QLabel* label) {
    const auto note = m_nullNotes.find(utf8(label->objectName()));
    if (note != m_nullNotes.end()) {
        label->setToolTip(fromUtf8(note->second));
    } else {
        label->setToolTip(isClipped(label) ? label->text() : QString());
    }
}

void QtScreen::setText(std::string_view field, const std::string& text) {
    auto* label = element<QLabel>(field);
    label->setText(fromUtf8(text));
    updateToolTip(label);
    updateAccessibleValue(label);
    if (m_loading && label->window() == m_loading.data()) {
        // The progress text must be on screen while the step runs, before
        // control returns to the event loop.
        label->repaint();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

std::string QtScreen::text(std::string_view field) const {
    return utf8(element<QLabel>(field)->text());
}

void QtScreen::addItem(std::string_view selector, const std::string& text) {
    auto* combo = element<QComboBox>(selector);
    const int selected = combo->currentIndex();
    combo->addItem(fromUtf8(text));
    if (selected == -1 && combo->currentIndex() != -1) {
        // A combo box chooses its first item by itself; here only a pick (or
        // the detection's own choice of item 0) does, so a listing that
        // failed part-way shows no item as chosen.
        const QSignalBlocker quiet(combo);
        combo->setCurrentIndex(-1);
    }
}

int QtScreen::itemCount(std::string_view selector) const {
    return element<QComboBox>(selector)->count();
}

int QtScreen::selectedIndex(std::string_view selector) const {
    return element<QComboBox>(selector)->currentIndex();
}

void QtScreen::setSelectedIndex(std::string_view selector, int index) {
    auto* combo = element<QComboBox>(selector);
    if (index < -1 || index >= combo->count()) {
        invalidProperty(selector);
    }
    combo->setCurrentIndex(index);
    raiseClick(selector);
}

void QtScreen::addListLine(std::string_view list, const std::string& text) {
    element<QListWidget>(list)->addItem(fromUtf8(text));
}

int QtScreen::addRow(std::string_view listView, const std::string& firstColumn) {
    auto* view = element<QTreeWidget>(listView);
    auto* item = new QTreeWidgetItem(view);
    item->setText(0, fromUtf8(firstColumn));
    updateCellToolTip(view, item, 0);
    return view->topLevelItemCount();
}

void QtScreen::setRowText(std::string_view listView, int row, int column, const std::string& text) {
    auto* view = element<QTreeWidget>(listView);
    QTreeWidgetItem* item = row >= 1 ? view->topLevelItem(row - 1) : nullptr;
    if (!item || column < 2 || column > view->columnCount()) {
        invalidProperty(listView);
    }
    item->setText(column - 1, fromUtf8(text));
    updateCellToolTip(view, item, column - 1);
}

int QtScreen::selectedRow(std::string_view listView) const {
    auto* view = element<QTreeWidget>(listView);
    const auto selected = view->selectedItems();
    if (selected.isEmpty()) {
        return 0;
    }
    return view->indexOfTopLevelItem(selected.front()) + 1;
}

void QtScreen::messageBox(const std::string& text, const std::string& title, int style) {
    m_messages.show(text, title, style);
}

void QtScreen::setVisible(std::string_view panel, bool visible) {
    QWidget* widget = find(panel);
    if (!widget) {
        invalidProperty(panel);
    }
    widget->setVisible(visible);
}

bool QtScreen::isVisible(std::string_view panel) const {
    QWidget* widget = find(panel);
    if (!widget) {
        invalidProperty(panel);
    }
    return !widget->isHidden();
}

void QtScreen::setClickHandler(std::string_view element, std::function<void()> handler) {
    m_handlers[std::string(element)] = std::move(handler);
}

void QtScreen::raiseClick(std::string_view element) {
    const auto it = m_handlers.find(element);
    if (it != m_handlers.end() && it->second) {
        // A copy: the handler may replace itself while it runs.
        const std::function<void()> handler = it->second;
        handler();
    }
}

bool QtScreen::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        // A click anywhere in the list view, on a row or not, is its click.
        if (auto* view = qobject_cast<QTreeWidget*>(watched->parent())) {
            const std::string name = utf8(view->objectName());
            m_failures.guarded([&] { raiseClick(name); });
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace tolvex::ui
