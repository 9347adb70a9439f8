#include "ui/qt/LocaleFormat.h"

namespace tolvex {

namespace {

std::string utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

}  // namespace

NumberFormat numberFormatFor(const QLocale& locale) {
    NumberFormat format = NumberFormat::point();
    if (locale.language() == QLocale::C) {
        return format;
    }
    const QString decimal = locale.decimalPoint();
    const QString group = locale.groupSeparator();
    // A locale that gives no separator, or the same one for both, cannot be
    // read back unambiguously; such a locale keeps the English notation.
    if (decimal.isEmpty() || group.isEmpty() || decimal == group) {
        return format;
    }
    format.decimalSeparator = utf8(decimal);
    format.thousandsSeparator = utf8(group);
    return format;
}

}  // namespace tolvex
