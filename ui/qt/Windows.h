#pragma once

#include <QDialog>
#include <QMainWindow>
#include <QWidget>

class QAction;

namespace tolvex::ui {

class PanelCopy;

// The main window frmMain: the banner, the eight section panels and the menu
// bar, built from its screen definition. It reports what happens to it; the
// program's behaviour lives with its controller.
class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit MainWindow(QWidget* parent = nullptr);

    // The menu item of that name ("mnuSections(2)", "mnuFileItem(4)").
    QAction* menuAction(const QString& name) const;
    // Copying the panel on view, or a value of it, to the clipboard.
    PanelCopy& panelCopy() const { return *m_copy; }

  signals:
    // The window became the active window.
    void activated();
    // The window is being unloaded; it always closes.
    void unloading();
    void sectionMenuClicked(int index);
    void fileMenuClicked(int index);

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    PanelCopy* m_copy = nullptr;
};

// The progress window frmLoading: "Please wait" with the label lblLoad.
class LoadingWindow : public QWidget {
    Q_OBJECT
  public:
    explicit LoadingWindow(QWidget* parent = nullptr);
};

// The About box frmAbout: the picture, lblVer and the hidden OK button
// cmdCancel, which takes Enter (and Esc closes the box).
class AboutWindow : public QDialog {
    Q_OBJECT
  public:
    explicit AboutWindow(QWidget* parent = nullptr);
};

}  // namespace tolvex::ui
