#pragma once

#include <QObject>

namespace tolvaran {

// Return and keypad Enter press the focused button as Space does: it shows pressed while the
// key is down (a menu button opens its menu then) and is clicked as the key comes up. That
// holds for every button of ours (push and tool buttons, the detail pane's tabs and chat rows)
// in windows and dialogs alike. Qt's buttons take Space alone; in a dialog Return would click
// the default button whatever has the focus, and a push button made to take Return by being
// "auto default" is drawn as the default button while it has the focus. Here no button
// changes its look, and a dialog's default button takes Return only from a control that does
// not take it itself: fields, lists, pop-ups, check boxes and radio buttons keep their keys,
// and so does a Return with Shift, Control or Alt.
//
// An event filter over the whole application, in effect while the object lives.
class ButtonActivationKeys final : public QObject
{
    Q_OBJECT

public:
    explicit ButtonActivationKeys(QObject *parent = nullptr);

    // Puts one over the application for the rest of its life; once.
    static void install();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace tolvaran
