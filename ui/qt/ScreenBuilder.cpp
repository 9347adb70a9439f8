#include "ui/qt/ScreenBuilder.h"

#include <QComboBox>
#include <QEvent>
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
#include <climits>
#include <map>

#include "ui/Contrast.h"
#include "ui/PanelText.h"
#include "ui/qt/Text.h"

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

namespace {

// The roles and captions the builder gives its widgets, kept on them.
constexpr const char* kColourRole = "tolvexColourRole";
constexpr const char* kCaption = "tolvexCaption";

// Small text is drawn antialiased: its thinnest strokes cover no pixel
// whole and come out nearer the background than their colour. The colours
// aim above the 4.5:1 asked of text so that the strokes as drawn reach it.
constexpr double kDrawnTextContrast = 5.5;

Rgb rgb(const QColor& colour) {
    return {colour.red(), colour.green(), colour.blue()};
}

}  // namespace

CaptionFrame::CaptionFrame(const QString& caption, QWidget* parent)
    : QWidget(parent), m_caption(caption) {}

QColor CaptionFrame::captionColour() const {
    return screenColourOn(ColourRole::FrameCaption, palette().color(QPalette::Window));
}

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
    painter.setPen(captionColour());
    painter.drawText(captionRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_caption);
}

Picture::Picture(const QString& resource, QWidget* parent)
    : QWidget(parent), m_resource(resource) {}

Picture::~Picture() = default;

QSvgRenderer& Picture::renderer() const {
    if (m_renderer == nullptr) {
        ensurePictures();
        m_renderer = new QSvgRenderer(m_resource, const_cast<Picture*>(this));
    }
    return *m_renderer;
}

bool Picture::isLoaded() const {
    return renderer().isValid();
}

void Picture::paintEvent(QPaintEvent*) {
    if (!renderer().isValid()) {
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

QColor screenColourOn(ColourRole role, const QColor& background) {
    if (role == ColourRole::Default) {
        return {};
    }
    const Rgb shown =
        fixedTextColourOn(rgb(screenColour(role)), rgb(background), kDrawnTextContrast);
    return {shown.r, shown.g, shown.b};
}

void applyScreenColours(QWidget* root) {
    // The panels and frames take their colours from the window, so every
    // text is drawn on the root's window colour, or a list's on its base.
    const QPalette& around = root->palette();
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        const QVariant role = widget->property(kColourRole);
        if (!role.isValid()) {
            continue;
        }
        const auto colourRole = static_cast<ColourRole>(role.toInt());
        QPalette palette = widget->palette();
        if (qobject_cast<QAbstractItemView*>(widget)) {
            palette.setColor(QPalette::Text,
                             screenColourOn(colourRole, around.color(QPalette::Base)));
        } else if (widget->autoFillBackground()) {
            // Drawn on its own background, the title-bar text colour.
            const QColor background = around.color(QPalette::HighlightedText);
            palette.setColor(QPalette::Window, background);
            palette.setColor(QPalette::WindowText, screenColourOn(colourRole, background));
        } else {
            palette.setColor(QPalette::WindowText,
                             screenColourOn(colourRole, around.color(QPalette::Window)));
        }
        widget->setPalette(palette);
    }
}

QString PathElidingDelegate::shownText(const QStyleOptionViewItem& option,
                                       const QModelIndex& index) const {
    QStyleOptionViewItem shown = option;
    initStyleOption(&shown, index);
    return shown.text;
}

void PathElidingDelegate::initStyleOption(QStyleOptionViewItem* option,
                                          const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (option->rect.width() <= 0) {
        return;  // measured for its size, not drawn
    }
    const QWidget* view = option->widget;
    const QStyle* style = view ? view->style() : nullptr;
    const int margin =
        style ? style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1 : 3;
    option->text = elidePath(option->text, option->fontMetrics, option->rect.width() - 2 * margin);
}

QString elidePath(const QString& text, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(text) <= width) {
        return text;
    }
    const QString ellipsis(QChar(0x2026));
    // The first part with its slash ("/mnt/"), then the longest tail from a
    // later slash on that still fits.
    const qsizetype firstEnd =
        text.indexOf(QLatin1Char('/'), text.startsWith(QLatin1Char('/')) ? 1 : 0);
    if (firstEnd > 0) {
        const QString head = text.left(firstEnd + 1);
        for (qsizetype slash = text.indexOf(QLatin1Char('/'), firstEnd + 1); slash != -1;
             slash = text.indexOf(QLatin1Char('/'), slash + 1)) {
            const QString candidate = head + ellipsis + text.mid(slash);
            if (metrics.horizontalAdvance(candidate) <= width) {
                return candidate;
            }
        }
    }
    return metrics.elidedText(text, Qt::ElideMiddle, width);
}

bool isClipped(const QLabel* label) {
    const QRect room = label->contentsRect();
    const QFontMetrics metrics(label->font());
    if (!label->wordWrap()) {
        return metrics.horizontalAdvance(label->text()) > room.width();
    }
    const QRect needed =
        metrics.boundingRect(QRect(0, 0, room.width(), INT_MAX), Qt::TextWordWrap, label->text());
    return needed.width() > room.width() || needed.height() > room.height();
}

namespace {

void setCellToolTip(QTreeWidget* view, const QFontMetrics& metrics, QTreeWidgetItem* item,
                    int column) {
    const int margin =
        2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1);
    const QString text = item->text(column);
    const bool clipped = metrics.horizontalAdvance(text) + margin > view->columnWidth(column);
    item->setToolTip(column, clipped ? text : QString());
}

}  // namespace

void updateCellToolTips(QTreeWidget* view) {
    const QFontMetrics metrics(view->font());
    for (int row = 0; row < view->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = view->topLevelItem(row);
        for (int column = 0; column < view->columnCount(); ++column) {
            setCellToolTip(view, metrics, item, column);
        }
    }
}

void updateCellToolTip(QTreeWidget* view, QTreeWidgetItem* item, int column) {
    setCellToolTip(view, QFontMetrics(view->font()), item, column);
}

void updateAccessibleValue(QLabel* label) {
    const QVariant caption = label->property(kCaption);
    if (caption.isValid()) {
        label->setAccessibleName(fromUtf8(
            captionedValue(caption.toString().toStdString(), label->text().toStdString())));
    }
}

namespace {

QIcon renderWindowIcon() {
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

}  // namespace

// Every window and the application share one icon, rendered once per
// application (QIcon shares its data, so the copies cost nothing) and
// released with it, while the pixmaps can still be.
QIcon windowIcon() {
    static QIcon* icon = nullptr;
    if (icon == nullptr) {
        icon = new QIcon(renderWindowIcon());
        qAddPostRoutine([] {
            delete icon;
            icon = nullptr;
        });
    }
    return *icon;
}

namespace {

// The colour is painted by applyScreenColours() once the window is built.
void setForeground(QWidget* widget, ColourRole role) {
    if (role != ColourRole::Default) {
        widget->setProperty(kColourRole, static_cast<int>(role));
    }
}

// Repaints the fixed colours of a built window whenever its palette changes
// (a new desktop theme, light to dark or back).
class ColourFollower : public QObject {
  public:
    explicit ColourFollower(QWidget* root) : QObject(root), m_root(root) {
        root->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_root && event->type() == QEvent::PaletteChange) {
            applyScreenColours(m_root);
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    QWidget* m_root;
};

// Makes a value label selectable with the mouse when it is first painted,
// pressed or focused. A selectable label keeps a text control (a text
// document) that lays the text out again at every write; most labels sit on
// hidden panels, and building all the controls at the start cost about a
// tenth of it. Being made just before the first paint, the control draws
// every pixel the label ever shows.
class SelectableOnFirstUse : public QObject {
  public:
    // The label takes the focus on a click (as a selectable label does) from
    // then on too: it cannot be clicked before it has been painted. Setting
    // that focus policy sooner would have QLabel build the control at once.
    explicit SelectableOnFirstUse(QLabel* label) : QObject(label) {
        label->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Paint:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
            case QEvent::FocusIn: {
                auto* label = static_cast<QLabel*>(watched);
                label->removeEventFilter(this);
                label->setTextInteractionFlags(Qt::TextSelectableByMouse);
                break;
            }
            default:
                break;
        }
        return QObject::eventFilter(watched, event);
    }
};

// A selector's edit field is made when the selector is first shown, before
// it is painted: the four selectors sit on panels hidden at the start, and
// an edit field with its completer is most of what a selector costs to
// build. Until then the selector holds its items and choice as any other;
// the field, once made, shows the chosen item's text.
class EditableOnFirstShow : public QObject {
  public:
    explicit EditableOnFirstShow(QComboBox* combo) : QObject(combo) {
        combo->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            auto* combo = static_cast<QComboBox*>(watched);
            combo->removeEventFilter(this);
            makeEditable(combo);
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    static void makeEditable(QComboBox* combo) {
        combo->setEditable(true);  // the field takes the chosen item's text
        combo->setCompleter(nullptr);
        QLineEdit* edit = combo->lineEdit();
        QObject::disconnect(edit, &QLineEdit::editingFinished, combo, nullptr);
        QObject::disconnect(edit, &QLineEdit::returnPressed, combo, nullptr);
    }
};

QLabel* makeLabel(const Element& element, QWidget* parent) {
    auto* label = new QLabel(parent);
    // Every text is shown as it stands: a value such as "<b>x</b>" shows
    // those characters.
    label->setTextFormat(Qt::PlainText);
    label->setText(fromUtf8(element.text));
    label->setWordWrap(element.wordWrap);
    const Qt::Alignment vertical = element.wordWrap ? Qt::AlignTop : Qt::AlignVCenter;
    label->setAlignment((element.align == Align::Center ? Qt::AlignHCenter : Qt::AlignLeft) |
                        vertical);
    setForeground(label, element.colour);
    if (element.opaqueBackground) {
        label->setAutoFillBackground(true);
    }
    if (element.colour == ColourRole::Value) {
        // A value can be selected with the mouse and copied; the panel's
        // own menu stands in for the label's.
        new SelectableOnFirstUse(label);
        label->setContextMenuPolicy(Qt::NoContextMenu);
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
        headers << fromUtf8(column.header);
    }
    view->setHeaderLabels(headers);
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        view->setColumnWidth(i, pixels(columns[static_cast<std::size_t>(i)].width));
    }
    view->setTextElideMode(Qt::ElideMiddle);
    view->setItemDelegate(new PathElidingDelegate(view));
    QObject::connect(view->header(), &QHeaderView::sectionResized, view,
                     [view] { updateCellToolTips(view); });
    setForeground(view, element.colour);
    return view;
}

QWidget* makeWidget(const Element& element, QWidget* parent) {
    switch (element.kind) {
        case Kind::Panel:
            return new QWidget(parent);
        case Kind::Frame:
            return new CaptionFrame(fromUtf8(element.text), parent);
        case Kind::Label:
            return makeLabel(element, parent);
        case Kind::ComboBox: {
            // A drop-down list with an edit field: the field shows the chosen
            // item and takes typing, but what is typed is only shown. It
            // inserts nothing, completes nothing and chooses nothing; only a
            // pick from the list (or the program) chooses an item.
            auto* combo = new QComboBox(parent);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
            new EditableOnFirstShow(combo);
            return combo;
        }
        case Kind::ListBox: {
            auto* list = new QListWidget(parent);
            list->setSortingEnabled(false);
            list->setEditTriggers(QAbstractItemView::NoEditTriggers);
            setForeground(list, element.colour);
            return list;
        }
        case Kind::ListView:
            return makeListView(element, parent);
        case Kind::Image:
            return new Picture(fromUtf8(element.text), parent);
        case Kind::Button:
            return new QPushButton(fromUtf8(element.text), parent);
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
        widget->setObjectName(fromUtf8(element.name));
        widget->setFont(screenFont(element.font));
        widget->setGeometry(pixels(element.left), pixels(element.top), pixels(element.width),
                            pixels(element.height));
        if (!element.accessibleName.empty()) {
            widget->setAccessibleName(fromUtf8(element.accessibleName));
        }
        widget->setVisible(element.visible);
        built[element.name] = widget;
    }
    // A caption label gives the field it introduces its accessible name. A
    // selector or list reads out its own items, so its name is the caption;
    // a value label offers nothing but its name, so the name carries the
    // value too and a screen reader reads "Speed: 2600 MHz".
    for (const Element& element : window.elements) {
        if (element.buddy.empty()) {
            continue;
        }
        const auto field = built.find(element.buddy);
        if (field != built.end()) {
            field->second->setAccessibleName(fromUtf8(element.text));
        }
    }
    for (const Element& element : window.elements) {
        if (element.kind != Kind::Label || element.colour != ColourRole::Value) {
            continue;
        }
        auto* label = qobject_cast<QLabel*>(built[element.name]);
        label->setProperty(kCaption, fromUtf8(captionOf(window, element.name)));
        updateAccessibleValue(label);
    }
    applyScreenColours(client);
    new ColourFollower(client);
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
