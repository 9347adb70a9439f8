#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QString>
#include <QWidget>

#include "ui/ScreenDefinitions.h"

class QSvgRenderer;

namespace tolvex::ui {

// A frame drawn like the window system's single-line frame: the border runs
// half a text line below the top edge and the caption, in purple, cuts into
// it. Children are placed relative to the outer rectangle.
class CaptionFrame : public QWidget {
    Q_OBJECT
  public:
    CaptionFrame(const QString& caption, QWidget* parent);
    QString caption() const { return m_caption; }
    QColor captionColour() const { return m_captionColour; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString m_caption;
    QColor m_captionColour;
};

// A picture from the program's resources, scaled to the element's size and
// drawn without a border.
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
    QString m_resource;
    QSvgRenderer* m_renderer;
};

// Registers the pictures of the program's resources (once).
void ensurePictures();

// Verdana, or the closest sans serif where Verdana is not installed.
QFont screenFont(FontRole role);
QColor screenColour(ColourRole role);

// The window icon, drawn at the usual icon sizes.
QIcon windowIcon();

// Builds the window's elements as children of `client`, which takes the
// window's client size. Every widget's objectName is its element's name.
void buildElements(const WindowDefinition& window, QWidget* client);

// Places a top-level window at the centre of the screen it is on.
void centreOnScreen(QWidget* window);

// Text of a UTF-8 string for the screen; bytes that are not UTF-8 show as the
// replacement character, never as other letters.
QString fromUtf8(const std::string& text);

}  // namespace tolvex::ui
