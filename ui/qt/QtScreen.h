#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "ui/Screen.h"
#include "ui/qt/HandlerFailures.h"
#include "ui/qt/MessageBoxes.h"
#include "ui/qt/Windows.h"

class QComboBox;
class QLabel;
class QListWidget;
class QTreeWidget;

namespace tolvex::ui {

// The screen operations over the Qt windows: frmMain's elements, and
// frmLoading's, which is created on first use. Names that no window holds are
// reported as failures, so a misspelt field cannot pass unnoticed.
class QtScreen : public QObject, public Screen {
    Q_OBJECT
  public:
    QtScreen(MainWindow& main, MessagePresenter& messages);
    ~QtScreen() override;

    void setText(std::string_view field, const std::string& text) override;
    void setNullNote(std::string_view field, const std::string& note) override;
    std::string text(std::string_view field) const override;
    void addItem(std::string_view selector, const std::string& text) override;
    int itemCount(std::string_view selector) const override;
    int selectedIndex(std::string_view selector) const override;
    void setSelectedIndex(std::string_view selector, int index) override;
    void addListLine(std::string_view list, const std::string& text) override;
    int addRow(std::string_view listView, const std::string& firstColumn) override;
    void setRowText(std::string_view listView, int row, int column,
                    const std::string& text) override;
    int selectedRow(std::string_view listView) const override;
    void messageBox(const std::string& text, const std::string& title, int style) override;
    void setVisible(std::string_view panel, bool visible) override;
    bool isVisible(std::string_view panel) const override;
    void setClickHandler(std::string_view element, std::function<void()> handler) override;

    // frmLoading: the instance, created (not shown) if there is none.
    LoadingWindow& loadingWindow();
    bool hasLoadingWindow() const { return !m_loading.isNull(); }
    // Unloads frmLoading, if loaded.
    void unloadLoadingWindow();

    // Where a failure escaping a handler the user's action raised is kept.
    HandlerFailures& handlerFailures() { return m_failures; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* find(std::string_view name) const;
    template <class Widget>
    Widget* element(std::string_view name) const;
    void raiseClick(std::string_view element);
    // Decides a value label's tooltip from what it shows and why it shows no
    // value.
    void updateToolTip(QLabel* label);

    MainWindow& m_main;
    MessagePresenter& m_messages;
    HandlerFailures m_failures;
    QPointer<LoadingWindow> m_loading;
    std::map<std::string, std::function<void()>, std::less<>> m_handlers;
    // frmMain's named widgets, looked up once: the sections address every
    // field by name, hundreds of times during the start-up sequence.
    std::map<std::string, QPointer<QWidget>, std::less<>> m_mainElements;
    // The sections' notes on fields that show no value, by field name.
    std::map<std::string, std::string, std::less<>> m_nullNotes;
};

}  // namespace tolvex::ui
