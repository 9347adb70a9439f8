#pragma once

#include <QLocale>

#include "wmi/Conversions.h"

namespace tolvex {

// The separators of a locale for the number masks. The C locale reads as
// English. The Boolean words stay "True" and "False", the words the program
// has always shown.
NumberFormat numberFormatFor(const QLocale& locale);

}  // namespace tolvex
