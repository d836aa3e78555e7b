#pragma once

#include "platform/Timestamp.h"

#include <QString>

namespace tolvaran {

// The one relative-date text of the window ("5 min. ago", "2 days ago", "in 3 hr."), with
// abbreviated unit names, shared by the footer, the cards, the menus and the detail pane.
//
// Our own because Qt has no relative-date formatter. The text names the largest whole unit in
// the distance between the two times (years of 365 days, months of 30 days, weeks, days,
// hours, minutes, seconds), rounded towards zero. A date that is not after `now` reads as
// past, so the moment of a refresh reads "0 sec. ago" rather than "in 0 sec.". English only,
// like the rest of the program's texts.
QString relativeDateText(Timestamp date, Timestamp now);

// How many seconds after `now` the text of relativeDateText(date, now) next changes: under a
// second while it counts seconds, under a minute while it counts minutes, and so on. What
// shows such a text redraws it then, so "0 sec. ago" does not stay.
double relativeDateTextChangesIn(Timestamp date, Timestamp now);

} // namespace tolvaran
