#pragma once

#include <QObject>
#include <QPoint>
#include <QString>

class QMainWindow;
class QMenu;
class QWidget;

namespace tolvex::ui {

// Copying from the main window as plain text. Ctrl+C copies the selection of
// the element that has the focus (text selected in a value or the selector's
// edit field, a row of the drive list, an address of the IP list), or else
// the whole panel on view. A right click on the panel offers "Copy" (the
// value under the pointer) and "Copy panel". The menu bar's menus are not
// touched.
class PanelCopy : public QObject {
    Q_OBJECT
  public:
    explicit PanelCopy(QMainWindow* window);

    // The panel on view, as panelText() lays it out.
    QString panelText() const;
    // What Ctrl+C copies.
    QString copyText() const;
    // The value shown at `pos` (in `widget`'s coordinates): a value field,
    // or the field a caption introduces, a count line, the selector's chosen
    // item, a drive-list row (tab-separated) or an IP address; empty where
    // there is none.
    QString valueAt(QWidget* widget, QPoint pos) const;
    // The panel's context menu for a click at `pos` in `widget`, not yet
    // shown: "Copy" (disabled where there is no value) and "Copy panel". The
    // menu deletes itself when closed.
    QMenu* contextMenu(QWidget* widget, QPoint pos);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QMainWindow* m_window;
};

}  // namespace tolvex::ui
