// The Qt screens against their definitions: every element exists under its
// name with its geometry, text, font and colour; no static text is clipped;
// every field that the sections write exists.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "tests/ui/UiTestSupport.h"
#include "ui/ScreenDefinitions.h"
#include "ui/qt/ScreenBuilder.h"
#include "ui/qt/Windows.h"

namespace tolvex::ui {
namespace {

using testing::qtApp;

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

class ScreenDefinitionsTest : public ::testing::Test {
  protected:
    void SetUp() override { qtApp(); }

    // Checks every element of a definition against the widgets of `window`.
    static void checkWindow(const WindowDefinition& definition, QWidget& window) {
        for (const Element& element : definition.elements) {
            SCOPED_TRACE(element.name);
            auto* widget = window.findChild<QWidget*>(qs(element.name));
            ASSERT_NE(widget, nullptr);
            EXPECT_EQ(widget->geometry(), QRect(pixels(element.left), pixels(element.top),
                                                pixels(element.width), pixels(element.height)));
            const QFont expected = screenFont(element.font);
            EXPECT_DOUBLE_EQ(widget->font().pointSizeF(), expected.pointSizeF());
            EXPECT_EQ(widget->font().bold(), element.font == FontRole::Title);
            const QString family = QFontInfo(widget->font()).family();
            EXPECT_TRUE(family == "Verdana" || family == "DejaVu Sans") << family.toStdString();

            switch (element.kind) {
                case Kind::Label: {
                    auto* label = qobject_cast<QLabel*>(widget);
                    ASSERT_NE(label, nullptr);
                    EXPECT_EQ(label->text(), qs(element.text));
                    EXPECT_EQ(label->textFormat(), Qt::PlainText);
                    if (element.colour != ColourRole::Default) {
                        EXPECT_EQ(label->palette().color(QPalette::WindowText),
                                  screenColour(element.colour));
                    }
                    EXPECT_EQ(bool(label->alignment() & Qt::AlignHCenter),
                              element.align == Align::Center);
                    break;
                }
                case Kind::Frame: {
                    auto* frame = qobject_cast<CaptionFrame*>(widget);
                    ASSERT_NE(frame, nullptr);
                    EXPECT_EQ(frame->caption(), qs(element.text));
                    EXPECT_EQ(frame->captionColour(), QColor(128, 0, 128));
                    break;
                }
                case Kind::Image: {
                    auto* picture = qobject_cast<Picture*>(widget);
                    ASSERT_NE(picture, nullptr);
                    EXPECT_TRUE(picture->isLoaded()) << element.text;
                    break;
                }
                case Kind::ComboBox:
                    ASSERT_NE(qobject_cast<QComboBox*>(widget), nullptr);
                    break;
                case Kind::ListBox: {
                    auto* list = qobject_cast<QListWidget*>(widget);
                    ASSERT_NE(list, nullptr);
                    EXPECT_EQ(list->palette().color(QPalette::Text), QColor(0, 0, 192));
                    break;
                }
                case Kind::ListView:
                    ASSERT_NE(qobject_cast<QTreeWidget*>(widget), nullptr);
                    break;
                case Kind::Button: {
                    auto* button = qobject_cast<QPushButton*>(widget);
                    ASSERT_NE(button, nullptr);
                    EXPECT_EQ(button->text(), qs(element.text));
                    break;
                }
                case Kind::Panel:
                    break;
            }
            // Children sit in the element the definition names.
            const QWidget* parent = widget->parentWidget();
            if (element.parent.empty()) {
                EXPECT_EQ(parent->objectName(), qs(definition.name + "Client"));
            } else {
                EXPECT_EQ(parent->objectName(), qs(element.parent));
            }
        }
    }
};

TEST_F(ScreenDefinitionsTest, MainWindowMatchesItsDefinition) {
    MainWindow window;
    EXPECT_EQ(window.windowTitle(), "Tolvex");
    EXPECT_EQ(window.centralWidget()->size(), QSize(444, 528));
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window.windowIcon().isNull());
    checkWindow(frmMainDefinition(), window);
}

TEST_F(ScreenDefinitionsTest, LoadingAndAboutWindowsMatchTheirDefinitions) {
    LoadingWindow loading;
    EXPECT_EQ(loading.windowTitle(), "Please wait");
    EXPECT_EQ(loading.size(), QSize(312, 52));
    EXPECT_FALSE(loading.windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    checkWindow(frmLoadingDefinition(), loading);

    AboutWindow about;
    EXPECT_EQ(about.windowTitle(), "About Tolvex");
    EXPECT_EQ(about.size(), QSize(498, 200));
    checkWindow(frmAboutDefinition(), about);
    // The OK button lies below the client area, out of sight, and is the
    // default button.
    auto* ok = about.findChild<QPushButton*>("cmdCancel");
    ASSERT_NE(ok, nullptr);
    EXPECT_GE(ok->y(), about.height());
    EXPECT_TRUE(ok->isDefault());
    auto* version = about.findChild<QLabel*>("lblVer");
    EXPECT_TRUE(version->autoFillBackground());
}

TEST_F(ScreenDefinitionsTest, MenuBarHoldsFileAndTheEightSectionItems) {
    MainWindow window;
    const QList<QAction*> bar = window.menuBar()->actions();
    ASSERT_EQ(bar.size(), 9);
    EXPECT_EQ(bar[0]->text(), "&File");
    ASSERT_NE(bar[0]->menu(), nullptr);
    const QStringList sections = {"OS",         "CPU",   "Mainboard", "MEM",
                                  "Networking", "Video", "SCSI",      "Drives"};
    for (int i = 0; i < sections.size(); ++i) {
        EXPECT_EQ(bar[i + 1]->text(), sections[i]);
        EXPECT_EQ(bar[i + 1]->objectName(), qs(arrayName("mnuSections", i + 1)));
        EXPECT_EQ(bar[i + 1]->menu(), nullptr);
    }
    const QList<QAction*> file = bar[0]->menu()->actions();
    ASSERT_EQ(file.size(), 4);
    EXPECT_EQ(file[0]->text(), "&Goto Tolvex web site");
    EXPECT_EQ(file[1]->text(), "&About Tolvex...");
    EXPECT_TRUE(file[2]->isSeparator());
    EXPECT_EQ(file[2]->objectName(), "mnuFileItem(3)");
    EXPECT_EQ(file[3]->text(), "E&xit");
    EXPECT_EQ(file[3]->objectName(), "mnuFileItem(4)");
}

// Static texts fit their labels with the font actually used (Verdana, or
// DejaVu Sans where it is missing).
TEST_F(ScreenDefinitionsTest, NoStaticTextIsClipped) {
    MainWindow main;
    LoadingWindow loading;
    AboutWindow about;
    const std::vector<std::pair<const WindowDefinition*, QWidget*>> windows = {
        {&frmMainDefinition(), &main},
        {&frmLoadingDefinition(), &loading},
        {&frmAboutDefinition(), &about}};
    for (const auto& [definition, window] : windows) {
        for (const Element& element : definition->elements) {
            if ((element.kind != Kind::Label && element.kind != Kind::Frame) ||
                element.text == kInitialValue) {
                continue;
            }
            SCOPED_TRACE(element.name);
            auto* widget = window->findChild<QWidget*>(qs(element.name));
            ASSERT_NE(widget, nullptr);
            const QFontMetrics metrics(widget->font());
            const QString text = qs(element.text);
            if (element.wordWrap) {
                const QRect needed = metrics.boundingRect(QRect(0, 0, widget->width(), 1000),
                                                          Qt::TextWordWrap, text);
                EXPECT_LE(needed.height(), widget->height());
            } else {
                EXPECT_LE(metrics.horizontalAdvance(text), widget->width());
                EXPECT_LE(metrics.height(), widget->height());
            }
        }
    }
    // The drive list's headers fit their columns.
    auto* drives = main.findChild<QTreeWidget*>("lvDrives");
    const QFontMetrics header(drives->header()->font());
    for (int i = 0; i < drives->columnCount(); ++i) {
        EXPECT_EQ(drives->columnWidth(i), pixels(driveColumns()[std::size_t(i)].width));
        EXPECT_LE(header.horizontalAdvance(drives->headerItem()->text(i)), drives->columnWidth(i));
    }
}

TEST_F(ScreenDefinitionsTest, DriveListHasItsFourColumnHeaders) {
    MainWindow window;
    auto* drives = window.findChild<QTreeWidget*>("lvDrives");
    ASSERT_EQ(drives->columnCount(), 4);
    const QStringList headers = {"Drive", "Capacity (MB)", "Free Space (MB)", "% Free"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(drives->headerItem()->text(i), headers[i]);
    }
    EXPECT_EQ(drives->topLevelItemCount(), 0);
    EXPECT_FALSE(drives->isHeaderHidden());
}

TEST_F(ScreenDefinitionsTest, ValueFieldsCarryTheirCaptionsAsAccessibleNames) {
    MainWindow window;
    for (const Element* field : valueFields(frmMainDefinition())) {
        SCOPED_TRACE(field->name);
        EXPECT_FALSE(window.findChild<QWidget*>(qs(field->name))->accessibleName().isEmpty());
    }
    const std::vector<std::pair<const char*, const char*>> expected = {
        {"lblCPUSpeed", "Speed: ..."},
        {"lblOSLinUsers", "# of Lincensed Users: ..."},
        {"lblSCSIVer", "Hardware Version: ..."},
        {"lblMEMTotPhys", "Total Memory: ..."},
        {"lstIPAddr", "System IP addresses:"},
        {"cboSCSI", "Choose the SCSI adapter you which info on:"},
    };
    for (const auto& [name, caption] : expected) {
        EXPECT_EQ(window.findChild<QWidget*>(name)->accessibleName(), caption) << name;
    }
}

// The control arrays keep their indices: Label95 has no items 2 and 3.
TEST_F(ScreenDefinitionsTest, ControlArraysKeepTheirIndices) {
    MainWindow window;
    for (int i = 0; i <= 10; ++i) {
        const bool exists = i != 2 && i != 3;
        EXPECT_EQ(window.findChild<QLabel*>(qs(arrayName("Label95", i))) != nullptr, exists) << i;
    }
    for (int i = 0; i < 8; ++i) {
        EXPECT_NE(window.findChild<QWidget*>(qs(arrayName("frSections", i))), nullptr);
    }
    EXPECT_EQ(window.findChild<QLabel*>("Label95(5)")->text(), "Hardware Version:");
}

// Every field name that a section or the IP address list writes exists on
// the screens, read from the sources so a new field cannot be forgotten.
TEST_F(ScreenDefinitionsTest, EveryFieldTheSectionsWriteExists) {
    namespace fs = std::filesystem;
    const std::regex literal("\"((lbl|cbo|lst|lv)[A-Za-z0-9]+)\"");
    std::set<std::string> names;
    for (const char* folder : {"sections", "net"}) {
        for (const auto& entry : fs::directory_iterator(fs::path(TOLVEX_SOURCE_DIR) / folder)) {
            if (entry.path().extension() != ".cpp") {
                continue;
            }
            std::ifstream file(entry.path());
            std::stringstream content;
            content << file.rdbuf();
            const std::string text = content.str();
            for (std::sregex_iterator it(text.begin(), text.end(), literal), end; it != end; ++it) {
                names.insert((*it)[1]);
            }
        }
    }
    ASSERT_GT(names.size(), 100u) << "the section sources were not found";
    MainWindow main;
    LoadingWindow loading;
    for (const std::string& name : names) {
        const bool onMain = main.findChild<QWidget*>(qs(name)) != nullptr;
        const bool onLoading = loading.findChild<QWidget*>(qs(name)) != nullptr;
        EXPECT_TRUE(onMain || onLoading) << name;
    }
}

// The frame's border runs half a line down; the caption interrupts it and
// is drawn in purple.
TEST_F(ScreenDefinitionsTest, FrameCaptionCutsIntoTheBorderInPurple) {
    MainWindow window;
    auto* frame = window.findChild<CaptionFrame*>("Frame5");
    ASSERT_NE(frame, nullptr);
    const QImage image = frame->grab().toImage();
    const QRgb border = frame->palette().color(QPalette::Dark).rgb();
    const int borderTop = QFontMetrics(frame->font()).height() / 2;
    EXPECT_EQ(image.pixel(frame->width() - 3, borderTop), border);
    EXPECT_EQ(image.pixel(0, frame->height() / 2), border);
    EXPECT_EQ(image.pixel(frame->width() - 1, frame->height() - 1), border);
    int purple = 0;
    int borderInCaption = 0;
    const int captionWidth = QFontMetrics(frame->font()).horizontalAdvance(frame->caption());
    for (int y = 0; y < QFontMetrics(frame->font()).height(); ++y) {
        for (int x = 8; x < 8 + captionWidth; ++x) {
            const QColor c = image.pixelColor(x, y);
            purple += c.red() > c.green() + 40 && c.blue() > c.green() + 40;
            borderInCaption += y == borderTop && c.rgb() == border;
        }
    }
    EXPECT_GT(purple, 10);
    EXPECT_EQ(borderInCaption, 0);
}

TEST(TwipsTest, ConvertAtFifteenTwipsPerPixelRoundingToNearest) {
    EXPECT_EQ(pixels(0), 0);
    EXPECT_EQ(pixels(255), 17);
    EXPECT_EQ(pixels(3068), 205);  // 204.53
    EXPECT_EQ(pixels(7), 0);
    EXPECT_EQ(pixels(8), 1);
    EXPECT_EQ(pixels(-120), -8);
}

}  // namespace
}  // namespace tolvex::ui
