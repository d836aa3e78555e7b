#pragma once

class QScrollArea;

namespace tolvaran {

// Keeps the keyboard focus in sight: whenever a control inside `area` takes the focus (by
// Tab from outside the area as much as from inside, by a click or from code), the area
// scrolls it into view. QScrollArea does so only for Tab moves that start inside it.
void keepFocusInView(QScrollArea *area);

} // namespace tolvaran
