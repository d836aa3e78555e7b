#pragma once

#include <QLocale>
#include <QString>

namespace tolvaran {

// A token count in short form: "999", "1.2K", "3.4M", "12B", at most one fraction digit
// (dropped when it is 0), in the current locale's digits.
//
// Our own because QLocale has no compact-name notation (only byte sizes).
QString compactTokens(qint64 count);

// `value` rounded to at most `digits` fraction digits, trailing zeros dropped, never "-0".
QString shortDecimal(double value, int digits, const QLocale &locale = QLocale());

} // namespace tolvaran
