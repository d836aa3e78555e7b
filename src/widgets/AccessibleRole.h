#pragma once

class QAbstractButton;
class QWidget;

namespace tolvaran {

// Roles for assistive technology where a control of ours is drawn as something Qt's own
// accessibility does not know it to be: a row of buttons that acts as tabs reads as push
// buttons otherwise.
namespace AccessibleRole {

// `button` is one page tab: selected while it is checked, and pressed to choose it.
void markAsTab(QAbstractButton *button);
// `bar` is the list holding such tabs.
void markAsTabList(QWidget *bar);

} // namespace AccessibleRole

} // namespace tolvaran
