#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QString>
#include <QStyledItemDelegate>
#include <QWidget>

#include "ui/ScreenDefinitions.h"

class QLabel;
class QSvgRenderer;
class QTreeWidget;
class QTreeWidgetItem;

namespace tolvex::ui {

// A frame drawn like the window system's single-line frame: the border runs
// half a text line below the top edge and the caption, in purple, cuts into
// it. Children are placed relative to the outer rectangle.
class CaptionFrame : public QWidget {
    Q_OBJECT
  public:
    CaptionFrame(const QString& caption, QWidget* parent);
    QString caption() const { return m_caption; }
    // Purple, made readable on the window colour of the palette in force.
    QColor captionColour() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString m_caption;
};

// Draws the list view's cells, a path that does not fit elided in its middle
// with its first and last parts kept ("/mnt/…/python").
class PathElidingDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    // The text a cell shows when drawn in `option`'s rectangle.
    QString shownText(const QStyleOptionViewItem& option, const QModelIndex& index) const;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

// `text` as it fits in `width` pixels: whole when it fits; a path keeps its
// first part and as many of its last parts as fit around an ellipsis; any
// other text, or a path even that cannot fit, is elided in the middle.
QString elidePath(const QString& text, const QFontMetrics& metrics, int width);

// Whether a label is too small to show all of its text.
bool isClipped(const QLabel* label);

// Gives each cell of the list view whose text its column is too narrow to
// show its whole text as a tooltip, and clears it from the others.
void updateCellToolTips(QTreeWidget* view);
// The same for one cell, after its text changed (the columns' widths as
// they are).
void updateCellToolTip(QTreeWidget* view, QTreeWidgetItem* item, int column);

// Keeps a value label's accessible name current: its caption with the text
// it shows ("Name: Debian GNU/Linux 12 (bookworm)").
void updateAccessibleValue(QLabel* label);

// A picture from the program's resources, scaled to the element's size and
// drawn without a border. It is read when first needed: most pictures sit
// on panels that are hidden at the start.
class Picture : public QWidget {
    Q_OBJECT
  public:
    Picture(const QString& resource, QWidget* parent);
    ~Picture() override;
    QString resource() const { return m_resource; }
    bool isLoaded() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QSvgRenderer& renderer() const;

    QString m_resource;
    mutable QSvgRenderer* m_renderer = nullptr;
};

// Registers the pictures of the program's resources (once).
void ensurePictures();

// Verdana, or the closest sans serif where Verdana is not installed.
QFont screenFont(FontRole role);
// The colour a role is designed in.
QColor screenColour(ColourRole role);
// The colour it is painted in on `background`: as designed on a light
// background, made readable (4.5:1, same hue) on any other.
QColor screenColourOn(ColourRole role, const QColor& background);

// Paints every fixed-colour text under `root` in screenColourOn() against
// the background it is drawn on (the palette's window colour, or its base
// colour in lists). buildElements() calls it, and again whenever the palette
// of the built window changes, so the colours follow a change of desktop
// theme while the program runs.
void applyScreenColours(QWidget* root);

// The window icon, drawn at the usual icon sizes.
QIcon windowIcon();

// Builds the window's elements as children of `client`, which takes the
// window's client size. Every widget's objectName is its element's name.
void buildElements(const WindowDefinition& window, QWidget* client);

// Places a top-level window at the centre of the screen it is on.
void centreOnScreen(QWidget* window);

}  // namespace tolvex::ui
