#pragma once

#include <QLocale>
#include <QTranslator>
#include <memory>

#include "wmi/Conversions.h"

namespace tolvex {

// Installs the program's translations for the user's interface languages
// (the first of them that the program has) into the application, and
// returns the translator, which must live as long as they are used. Null
// where no translation is needed or none exists: the texts stay English.
std::unique_ptr<QTranslator> installTranslations(const QLocale& locale);

// The separators of a locale for the number masks, and the Boolean words in
// the language of the installed translations ("True" and "False" without
// any). The C locale reads as English.
NumberFormat numberFormatFor(const QLocale& locale);

}  // namespace tolvex
