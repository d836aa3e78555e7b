#pragma once

#include <QObject>

namespace tolvaran {

// Return and keypad Enter press the focused push or tool button as Space does: it shows
// pressed while the key is down (a menu button opens its menu then) and is clicked as the key
// comes up. Outside dialogs Qt's buttons take Space alone, and a push button made to take
// Return by being "auto default" is drawn as the default button while it has the focus;
// here no button changes its look. Dialogs keep their own handling, where Return clicks the
// default button (or the focused push button). Anything else keeps its keys: fields, lists,
// pop-ups and check boxes, and a Return with Shift, Control or Alt.
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
