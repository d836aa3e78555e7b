#pragma once

class QScrollArea;

namespace tolvaran {

// Keeps the keyboard focus in sight: whenever a control inside `area` takes the focus (by
// Tab from outside the area as much as from inside, by a click or from code), the area
// scrolls the whole control into view where it fits, else its top (and its leading edge
// sideways). QScrollArea does so only for Tab moves that start inside it, and there goes by
// the control's input cursor, which a control drawing a scene of its own (a chart) reports
// as a point at its corner.
void keepFocusInView(QScrollArea *area);

// How far to scroll, along one axis, so that a span at `start` (in the view's coordinates)
// and `length` long shows in a view `viewLength` long with up to `margin` beside it (as much
// as the view has room for): none where it shows so already, else the least move that shows
// it so, or, when it is longer than the view, the move that brings its start to the view's
// start.
int scrollToReveal(int viewLength, int start, int length, int margin);

} // namespace tolvaran
