#include "ui/qt/LocaleFormat.h"
#include "ui/qt/Text.h"

#include <QCoreApplication>

namespace tolvex {

std::unique_ptr<QTranslator> installTranslations(const QLocale& locale) {
    auto translator = std::make_unique<QTranslator>();
    // Tries each of the locale's interface languages in turn ("de-AT", then
    // "de", ...), as the user ordered them.
    if (!translator->load(locale, QStringLiteral("tolvex"), QStringLiteral("_"),
                          QStringLiteral(":/i18n")) ||
        !QCoreApplication::installTranslator(translator.get())) {
        return nullptr;
    }
    return translator;
}

NumberFormat numberFormatFor(const QLocale& locale) {
    NumberFormat format = NumberFormat::point();
    format.trueWord = ui::utf8(QCoreApplication::translate("Booleans", "True"));
    format.falseWord = ui::utf8(QCoreApplication::translate("Booleans", "False"));
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
    format.decimalSeparator = ui::utf8(decimal);
    format.thousandsSeparator = ui::utf8(group);
    return format;
}

}  // namespace tolvex
