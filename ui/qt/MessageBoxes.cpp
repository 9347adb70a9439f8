#include "ui/qt/MessageBoxes.h"

#include <QApplication>

#include "ui/Screen.h"
#include "ui/qt/ScreenBuilder.h"
#include "ui/qt/Text.h"

namespace tolvex::ui {

std::unique_ptr<QMessageBox> makeMessageBox(const std::string& text, const std::string& title,
                                            int style, QWidget* parent) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    // The icon bits of the style value; the button bits are always "OK only".
    switch (style & 0x70) {
        case kStyleExclamation:
            icon = QMessageBox::Warning;
            break;
        case kStyleInformation:
            icon = QMessageBox::Information;
            break;
        case 16:
            icon = QMessageBox::Critical;
            break;
        case 32:
            icon = QMessageBox::Question;
            break;
        default:
            break;
    }
    auto box = std::make_unique<QMessageBox>(parent);
    box->setIcon(icon);
    box->setTextFormat(Qt::PlainText);
    box->setText(fromUtf8(text));
    box->setWindowTitle(fromUtf8(title.empty() ? std::string(kApplicationTitle) : title));
    box->setStandardButtons(QMessageBox::Ok);
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
    return box;
}

void QtMessagePresenter::show(const std::string& text, const std::string& title, int style) {
    auto box = makeMessageBox(text, title, style, QApplication::activeWindow());
    box->exec();
}

}  // namespace tolvex::ui
