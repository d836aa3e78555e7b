#pragma once

#include "platform/Timestamp.h"

#include <QString>

namespace tolvaran {

// `date` relative to `now` with abbreviated units, as the cards, menus and footer show it:
// "5 min. ago", "in 2 hr.", "3 days ago". Qt has no relative-date formatter, hence our own;
// it picks the largest whole unit (years, months, weeks, days, hours, minutes, seconds).
QString cardRelativeDateText(Timestamp date, Timestamp now);

} // namespace tolvaran
