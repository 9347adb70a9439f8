#include "ui/qt/ScreenBuilder.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSvgRenderer>
#include <QTreeWidget>
#include <map>

// The pictures are compiled into this static library; their registration
// must be called from outside any namespace.
static void initPictures() {
    Q_INIT_RESOURCE(pictures);
}

namespace tolvex::ui {

void ensurePictures() {
    static const bool registered = (initPictures(), true);
    (void)registered;
}

CaptionFrame::CaptionFrame(const QString& caption, QWidget* parent)
    : QWidget(parent),
      m_caption(caption),
      m_captionColour(screenColour(ColourRole::FrameCaption)) {}

void CaptionFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const int borderTop = m_caption.isEmpty() ? 0 : metrics.height() / 2;
    const QRect border = rect().adjusted(0, borderTop, -1, -1);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(border);
    if (m_caption.isEmpty()) {
        return;
    }
    const int captionLeft = 8;
    const QRect captionRect(captionLeft, 0, metrics.horizontalAdvance(m_caption), metrics.height());
    painter.fillRect(captionRect, palette().color(QPalette::Window));
    painter.setPen(m_captionColour);
    painter.drawText(captionRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_caption);
}

Picture::Picture(const QString& resource, QWidget* parent)
    : QWidget(parent), m_resource(resource), m_renderer(nullptr) {
    ensurePictures();
    m_renderer = new QSvgRenderer(resource, this);
}

Picture::~Picture() = default;

bool Picture::isLoaded() const {
    return m_renderer->isValid();
}

void Picture::paintEvent(QPaintEvent*) {
    if (!m_renderer->isValid()) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    m_renderer->render(&painter, QRectF(rect()));
}

QFont screenFont(FontRole role) {
    QFont font;
    font.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    switch (role) {
        case FontRole::Regular:
            font.setPointSizeF(8.25);
            break;
        case FontRole::Title:
            font.setPointSizeF(9.75);
            font.setBold(true);
            break;
        case FontRole::Large:
            font.setPointSizeF(9.75);
            break;
    }
    return font;
}

QColor screenColour(ColourRole role) {
    switch (role) {
        case ColourRole::Value:
            return {0, 0, 192};
        case ColourRole::Count:
            return {0, 128, 0};
        case ColourRole::FrameCaption:
            return {128, 0, 128};
        case ColourRole::Note:
            return {192, 0, 0};
        case ColourRole::Default:
            break;
    }
    return {};
}

QIcon windowIcon() {
    ensurePictures();
    QIcon icon;
    QSvgRenderer renderer(QString::fromLatin1(kWindowIcon));
    if (!renderer.isValid()) {
        return icon;
    }
    for (const int size : {16, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

namespace {

QString qs(const std::string& text) {
    return fromUtf8(text);
}

void setForeground(QWidget* widget, QPalette::ColorRole paletteRole, ColourRole role) {
    if (role == ColourRole::Default) {
        return;
    }
    QPalette palette = widget->palette();
    palette.setColor(paletteRole, screenColour(role));
    widget->setPalette(palette);
}

QLabel* makeLabel(const Element& element, QWidget* parent) {
    auto* label = new QLabel(parent);
    // Every text is shown as it stands: a value such as "<b>x</b>" shows
    // those characters.
    label->setTextFormat(Qt::PlainText);
    label->setText(qs(element.text));
    label->setWordWrap(element.wordWrap);
    const Qt::Alignment vertical = element.wordWrap ? Qt::AlignTop : Qt::AlignVCenter;
    label->setAlignment((element.align == Align::Center ? Qt::AlignHCenter : Qt::AlignLeft) |
                        vertical);
    setForeground(label, QPalette::WindowText, element.colour);
    if (element.opaqueBackground) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, palette.color(QPalette::HighlightedText));
        label->setPalette(palette);
        label->setAutoFillBackground(true);
    }
    return label;
}

QTreeWidget* makeListView(const Element& element, QWidget* parent) {
    auto* view = new QTreeWidget(parent);
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->header()->setSectionsMovable(false);
    view->header()->setStretchLastSection(false);
    const auto& columns = driveColumns();
    view->setColumnCount(static_cast<int>(columns.size()));
    QStringList headers;
    for (const Column& column : columns) {
        headers << qs(column.header);
    }
    view->setHeaderLabels(headers);
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        view->setColumnWidth(i, pixels(columns[static_cast<std::size_t>(i)].width));
    }
    setForeground(view, QPalette::Text, element.colour);
    return view;
}

QWidget* makeWidget(const Element& element, QWidget* parent) {
    switch (element.kind) {
        case Kind::Panel:
            return new QWidget(parent);
        case Kind::Frame:
            return new CaptionFrame(qs(element.text), parent);
        case Kind::Label:
            return makeLabel(element, parent);
        case Kind::ComboBox: {
            // A drop-down list with an edit field: the field shows the chosen
            // item and takes typing, but what is typed is only shown. It
            // inserts nothing, completes nothing and chooses nothing; only a
            // pick from the list (or the program) chooses an item.
            auto* combo = new QComboBox(parent);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setCompleter(nullptr);
            combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
            QLineEdit* edit = combo->lineEdit();
            QObject::disconnect(edit, &QLineEdit::editingFinished, combo, nullptr);
            QObject::disconnect(edit, &QLineEdit::returnPressed, combo, nullptr);
            return combo;
        }
        case Kind::ListBox: {
            auto* list = new QListWidget(parent);
            list->setSortingEnabled(false);
            list->setEditTriggers(QAbstractItemView::NoEditTriggers);
            setForeground(list, QPalette::Text, element.colour);
            return list;
        }
        case Kind::ListView:
            return makeListView(element, parent);
        case Kind::Image:
            return new Picture(qs(element.text), parent);
        case Kind::Button:
            return new QPushButton(qs(element.text), parent);
    }
    return new QWidget(parent);
}

}  // namespace

void buildElements(const WindowDefinition& window, QWidget* client) {
    client->setFixedSize(pixels(window.clientWidth), pixels(window.clientHeight));
    client->setFont(screenFont(FontRole::Regular));
    std::map<std::string, QWidget*, std::less<>> built;
    for (const Element& element : window.elements) {
        QWidget* parent = client;
        if (!element.parent.empty()) {
            const auto it = built.find(element.parent);
            parent = it != built.end() ? it->second : client;
        }
        QWidget* widget = makeWidget(element, parent);
        widget->setObjectName(qs(element.name));
        widget->setFont(screenFont(element.font));
        widget->setGeometry(pixels(element.left), pixels(element.top), pixels(element.width),
                            pixels(element.height));
        if (!element.accessibleName.empty()) {
            widget->setAccessibleName(qs(element.accessibleName));
        }
        widget->setVisible(element.visible);
        built[element.name] = widget;
    }
    // A caption label gives the field it introduces its accessible name, so
    // a screen reader reads "Speed: 2600 MHz".
    for (const Element& element : window.elements) {
        if (element.buddy.empty()) {
            continue;
        }
        const auto field = built.find(element.buddy);
        if (field != built.end()) {
            field->second->setAccessibleName(qs(element.text));
        }
    }
}

void centreOnScreen(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        return;
    }
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

}  // namespace tolvex::ui
