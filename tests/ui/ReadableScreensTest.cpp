// The main window on any desktop: fixed colours readable on a dark palette
// (measured from the pixels), clipped texts whole in tooltips, copying to
// the clipboard, and value labels that carry their values to a screen reader.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTreeWidget>
#include <iostream>
#include <map>

#include "tests/ui/UiTestSupport.h"
#include "ui/Contrast.h"
#include "ui/PanelText.h"
#include "ui/qt/PanelCopy.h"
#include "ui/qt/QtScreen.h"
#include "ui/qt/ScreenBuilder.h"

namespace tolvex::ui {
namespace {

Rgb rgb(QRgb pixel) {
    return {qRed(pixel), qGreen(pixel), qBlue(pixel)};
}

// The contrast of the text drawn in `area` of `image`: the area's most
// common colour is the background, the pixel that stands out most from it
// the ink (the core of a stroke, which antialiasing leaves untouched).
double measuredContrast(const QImage& image, const QRect& area) {
    std::map<QRgb, int> counts;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            ++counts[image.pixel(x, y) | 0xff000000u];
        }
    }
    if (counts.empty()) {
        return 0;
    }
    QRgb background = counts.begin()->first;
    for (const auto& [colour, count] : counts) {
        if (count > counts[background]) {
            background = colour;
        }
    }
    double best = 1;
    for (const auto& entry : counts) {
        best = std::max(best, contrastRatio(rgb(entry.first), rgb(background)));
    }
    return best;
}

QPalette darkPalette(QColor window, QColor base, QColor text) {
    QPalette palette;
    for (const auto role : {QPalette::Window, QPalette::Button, QPalette::AlternateBase}) {
        palette.setColor(role, window);
    }
    palette.setColor(QPalette::Base, base);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(role, text);
    }
    palette.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
    palette.setColor(QPalette::HighlightedText, QColor(0xfc, 0xfc, 0xfc));
    palette.setColor(QPalette::Dark, window.darker(160));
    palette.setColor(QPalette::Mid, window.lighter(130));
    palette.setColor(QPalette::Light, window.lighter(160));
    return palette;
}

// Puts back the application palette a test changed.
struct PaletteGuard {
    QPalette saved = QApplication::palette();
    ~PaletteGuard() { QApplication::setPalette(saved); }
};

class ReadableScreensTest : public ::testing::Test {
  protected:
    QApplication& app = testing::qtApp();
    MainWindow window;
    testing::RecordingPresenter messages;
    QtScreen screen{window, messages};

    template <class Widget = QWidget>
    Widget* widget(const char* name) {
        return window.findChild<Widget*>(QString::fromLatin1(name));
    }

    void showPanel(int index) {
        for (int i = 0; i < 8; ++i) {
            screen.setVisible(arrayName("frSections", i), i == index);
        }
    }
};

// The text roles of a panel and the area of the window each is drawn in.
std::multimap<std::string, QRect> textAreas(QWidget& window, int panel) {
    const WindowDefinition& definition = frmMainDefinition();
    const std::string panelName = arrayName("frSections", panel);
    std::multimap<std::string, QRect> areas;
    const auto area = [&window](QWidget* widget, QRect rect) {
        return QRect(widget->mapTo(&window, rect.topLeft()), rect.size());
    };
    for (const Element& element : definition.elements) {
        const Element* up = &element;
        while (up && up->parent != panelName) {
            up = up->parent.empty() ? nullptr : findElement(definition, up->parent);
        }
        if (!up) {
            continue;
        }
        auto* widget = window.findChild<QWidget*>(QString::fromStdString(element.name));
        switch (element.kind) {
            case Kind::Label: {
                static const std::map<ColourRole, std::string> roles = {
                    {ColourRole::Default, "captions"},
                    {ColourRole::Value, "values"},
                    {ColourRole::Count, "counts"},
                    {ColourRole::Note, "note"}};
                areas.emplace(roles.at(element.colour), area(widget, widget->rect()));
                break;
            }
            case Kind::Frame: {
                const QFontMetrics metrics(widget->font());
                const QString caption = QString::fromStdString(element.text);
                areas.emplace("frame captions",
                              area(widget, QRect(8, 0, metrics.horizontalAdvance(caption),
                                                 metrics.height())));
                break;
            }
            case Kind::ListBox:
            case Kind::ListView: {
                auto* view = qobject_cast<QAbstractItemView*>(widget);
                const std::string role = element.kind == Kind::ListBox ? "IP list" : "drive list";
                areas.emplace(role, area(view->viewport(), view->viewport()->rect()));
                if (auto* tree = qobject_cast<QTreeWidget*>(view)) {
                    areas.emplace(role, area(tree->header(), tree->header()->rect()));
                }
                break;
            }
            default:
                break;
        }
    }
    QMenuBar* bar = window.findChild<QMenuBar*>();
    areas.emplace("menu", area(bar, bar->rect()));
    return areas;
}

TEST_F(ReadableScreensTest, EveryTextRoleReachesFourAndAHalfToOneOnDarkPalettesAndLightComesBack) {
    PaletteGuard guard;
    // Text with strokes a full pixel wide in both directions.
    for (const Element* field : valueFields(frmMainDefinition())) {
        screen.setText(field->name, "EHT 1-4 lIl");
    }
    for (const char* selector : {"cboCPUs", "cboMem", "cboNIC", "cboSCSI"}) {
        screen.addItem(selector, "EHT item");
        screen.setSelectedIndex(selector, 0);
    }
    screen.addListLine("lstIPAddr", "192.168.1.10");
    screen.setText("lblCPUCount", "1 processor(s) detected.");
    const int row = screen.addRow("lvDrives", "/");
    screen.setRowText("lvDrives", row, 2, "29000");

    const struct {
        const char* name;
        QPalette palette;
    } palettes[] = {
        {"#2b2b2b", darkPalette(QColor(0x2b, 0x2b, 0x2b), QColor(0x1e, 0x1e, 0x1e), Qt::white)},
        {"Breeze Dark",
         darkPalette(QColor(0x31, 0x36, 0x3b), QColor(0x23, 0x26, 0x29), QColor(0xef, 0xf0, 0xf1))},
    };
    for (const auto& [name, palette] : palettes) {
        // The windows take a new palette through posted events.
        QApplication::setPalette(palette);
        QCoreApplication::processEvents();
        std::map<std::string, double> lowest;
        for (int panel = 0; panel < 8; ++panel) {
            showPanel(panel);
            const QImage image = window.grab().toImage();
            for (const auto& [role, rect] : textAreas(window, panel)) {
                const double ratio = measuredContrast(image, rect);
                EXPECT_GE(ratio, kMinimumTextContrast)
                    << name << ", panel " << panel << ": " << role;
                lowest.emplace(role, ratio);
                lowest[role] = std::min(lowest[role], ratio);
            }
        }
        std::cout << name << ", lowest contrast measured:";
        for (const auto& [role, ratio] : lowest) {
            std::cout << " " << role << " " << ratio << ";";
        }
        std::cout << "\n";
        EXPECT_EQ(lowest.size(), 8u);
    }
    // Back on the light palette the designed colours return.
    QApplication::setPalette(guard.saved);
    QCoreApplication::processEvents();
    EXPECT_EQ(widget<QLabel>("lblOSName")->palette().color(QPalette::WindowText),
              QColor(0, 0, 192));
    EXPECT_EQ(widget<QLabel>("lblCPUCount")->palette().color(QPalette::WindowText),
              QColor(0, 128, 0));
    EXPECT_EQ(widget<CaptionFrame>("Frame5")->captionColour(), QColor(128, 0, 128));
}

TEST_F(ReadableScreensTest, ClippedTextsShowWholeInTheirTooltips) {
    auto* serial = widget<QLabel>("lblOSSerial");
    screen.setText("lblOSSerial", "3d1219c7c4c5404aaa1f6d2a48adf3d1219c7c4c5404aaa1f6d2a48adf");
    EXPECT_EQ(serial->toolTip(), serial->text());
    screen.setText("lblOSSerial", "3d1219c7");
    EXPECT_EQ(serial->toolTip(), "");
    // A wrapping field is clipped only when its lines overflow it.
    screen.setText("lblOSName", "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(widget<QLabel>("lblOSName")->toolTip(), "");
    screen.setText("lblOSName", QString("Debian GNU/Linux ").repeated(6).toStdString());
    EXPECT_EQ(widget<QLabel>("lblOSName")->toolTip(), widget<QLabel>("lblOSName")->text());

    const std::string mount = "/mnt/storage/projects/builds/python";
    screen.addRow("lvDrives", "/");
    screen.addRow("lvDrives", mount);
    auto* drives = widget<QTreeWidget>("lvDrives");
    EXPECT_EQ(drives->topLevelItem(0)->toolTip(0), "");
    EXPECT_EQ(drives->topLevelItem(1)->toolTip(0), QString::fromStdString(mount));
    // A cell written later, in its own column, until the column is widened.
    const QString size(40, QChar('9'));
    screen.setRowText("lvDrives", 2, 2, size.toStdString());
    EXPECT_EQ(drives->topLevelItem(1)->toolTip(1), size);
    EXPECT_EQ(drives->topLevelItem(1)->toolTip(2), "");
    drives->setColumnWidth(1, 2000);
    EXPECT_EQ(drives->topLevelItem(1)->toolTip(1), "");
    EXPECT_EQ(drives->topLevelItem(1)->toolTip(0), QString::fromStdString(mount));

    // The long path is elided in its middle, both of its ends kept.
    auto* delegate = qobject_cast<PathElidingDelegate*>(drives->itemDelegate());
    ASSERT_NE(delegate, nullptr);
    QStyleOptionViewItem option;
    option.initFrom(drives->viewport());
    option.widget = drives;
    const QModelIndex index = drives->model()->index(1, 0);
    option.rect = drives->visualRect(index);
    const QString shown = delegate->shownText(option, index);
    EXPECT_TRUE(shown.startsWith('/') && shown.endsWith('n') && shown.contains(QChar(0x2026)))
        << shown.toStdString();

    const QFontMetrics metrics(drives->font());
    const struct {
        QString text, widthOf, shown;
    } paths[] = {
        {"/mnt/storage/projects/python", "/mnt/…/python", "/mnt/…/python"},
        {"/mnt/storage/projects/python", "/mnt/…/projects/python", "/mnt/…/projects/python"},
        {"/mnt/a", "/mnt/a", "/mnt/a"},
        {"/dev/nvme0n1p2", "/dev/nvme0n1p2", "/dev/nvme0n1p2"},
    };
    for (const auto& path : paths) {
        EXPECT_EQ(elidePath(path.text, metrics, metrics.horizontalAdvance(path.widthOf)),
                  path.shown);
    }
    const QString device = elidePath("/dev/disk/by-id/nvme-0123456789", metrics, 60);
    EXPECT_TRUE(device.startsWith('/') && device.endsWith('9')) << device.toStdString();
}

TEST_F(ReadableScreensTest, ValueLabelsCarryTheirValuesWithTheirCaptions) {
    EXPECT_EQ(widget("lblOSName")->accessibleName(), "Name: ...");
    screen.setText("lblOSName", "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(widget("lblOSName")->accessibleName(), "Name: Debian GNU/Linux 12 (bookworm)");
    screen.setText("lblCPUStatus2", "Degraded");
    EXPECT_EQ(widget("lblCPUStatus2")->accessibleName(), "Status (continued): Degraded");
    // Selectors and lists read out their own items under their captions.
    EXPECT_EQ(widget("cboMem")->accessibleName(), "Memory bank:");
    EXPECT_EQ(widget("lstIPAddr")->accessibleName(), "System IP addresses:");
}

TEST_F(ReadableScreensTest, CopyingThePanelAValueOrTheSelection) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QClipboard* clipboard = QGuiApplication::clipboard();
    screen.setText("lblOSName", "Debian GNU/Linux 12 (bookworm)");
    screen.setText("lblOSSerial", "3d1219c7");

    // Ctrl+C with nothing selected: the panel on view.
    clipboard->clear();
    QTest::keyClick(&window, Qt::Key_C, Qt::ControlModifier);
    const QString os = clipboard->text();
    EXPECT_TRUE(
        os.startsWith("Windows Operating System\n\nGeneral\n"
                      "Name: Debian GNU/Linux 12 (bookworm)\nManufacturer: ...\n"
                      "Serial #: 3d1219c7\n\nVersion\n"))
        << os.toStdString();

    // With part of a value selected, that part.
    auto* name = widget<QLabel>("lblOSName");
    name->setFocus();
    name->setSelection(0, 6);
    QTest::keyClick(name, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), "Debian");

    // A right click on a value offers it and the panel; on a caption the
    // value it introduces; where there is no value only the panel.
    struct Click {
        const char* widget;
        QString copied;
    };
    for (const Click& click : {Click{"lblOSSerial", "3d1219c7"},
                               Click{"lblOSSerialCaption", "3d1219c7"}, Click{"Frame5", ""}}) {
        QMenu* menu = window.panelCopy().contextMenu(widget(click.widget), QPoint(2, 10));
        auto* copy = menu->findChild<QAction*>("copyValue");
        EXPECT_EQ(copy->isEnabled(), !click.copied.isEmpty()) << click.widget;
        copy->trigger();
        if (copy->isEnabled()) {
            EXPECT_EQ(clipboard->text(), click.copied) << click.widget;
        }
        menu->findChild<QAction*>("copyPanel")->trigger();
        EXPECT_EQ(clipboard->text(), os);
        delete menu;
    }

    // The drive list: a row under the pointer, tab-separated.
    showPanel(7);
    const int row = screen.addRow("lvDrives", "/home");
    screen.setRowText("lvDrives", row, 2, "900");
    screen.setRowText("lvDrives", row, 4, "12");
    auto* drives = widget<QTreeWidget>("lvDrives");
    const QPoint onRow = drives->visualItemRect(drives->topLevelItem(0)).center();
    window.panelCopy()
        .contextMenu(drives->viewport(), onRow)
        ->findChild<QAction*>("copyValue")
        ->trigger();
    EXPECT_EQ(clipboard->text(), "/home\t900\t\t12");

    // The real right click reaches the panel's menu through the value label.
    showPanel(0);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 5),
                            name->mapToGlobal(QPoint(2, 5)));
    QApplication::sendEvent(name, &event);
    auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(popup, nullptr);
    EXPECT_NE(popup->findChild<QAction*>("copyPanel"), nullptr);
    popup->close();
}

// Every value, on the panel shown first and on those shown later, selects
// with the mouse and looks the same before and after its first click.
TEST_F(ReadableScreensTest, ValuesSelectWithTheMouseAndLookTheSameOnceClicked) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QString text = QStringLiteral(
        "Intel(R) Xeon(R) CPU E5-2690 v4 @ 2.60GHz, 14 cores and 28 threads in each of two "
        "packages");
    int checked = 0;
    for (int panel = 0; panel < 8; ++panel) {
        showPanel(panel);
        for (const Element& element : frmMainDefinition().elements) {
            auto* label = widget<QLabel>(element.name.c_str());
            if (element.colour != ColourRole::Value || !label || !label->isVisible()) {
                continue;
            }
            SCOPED_TRACE(element.name);
            ++checked;
            screen.setText(element.name, text.toStdString());
            const QImage before = label->grab().toImage();
            // Painted, it is drawn as a selectable label already.
            EXPECT_EQ(label->textInteractionFlags(), Qt::TextSelectableByMouse);
            const int y = 6;  // on the first line of text
            QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(4, y));
            EXPECT_EQ(label->grab().toImage(), before);
            QTest::mousePress(label, Qt::LeftButton, {}, QPoint(1, y));
            QTest::mouseMove(label, QPoint(label->width() - 2, y));
            QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(label->width() - 2, y));
            EXPECT_TRUE(text.startsWith(label->selectedText()) && label->hasSelectedText());
        }
    }
    EXPECT_GT(checked, 50);
}

}  // namespace
}  // namespace tolvex::ui
