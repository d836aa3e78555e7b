#include "widgets/ButtonActivationKeys.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QRadioButton>

namespace tolvaran {

namespace {

bool isActivationKey(const QKeyEvent &key)
{
    // Keypad Enter comes with the keypad modifier; nothing else may come with either.
    const Qt::KeyboardModifiers others = key.modifiers() & ~Qt::KeypadModifier;
    return (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter)
           && others == Qt::NoModifier;
}

bool takesReturnAsSpace(const QObject *watched)
{
    const auto *button = qobject_cast<const QAbstractButton *>(watched);
    // A check box or radio button is a choice in a form, where Return submits the form.
    if (!button || qobject_cast<const QCheckBox *>(button)
        || qobject_cast<const QRadioButton *>(button))
        return false;
    // A key event Qt hands on to a button from a child, or one sent to a button that is not
    // the focus, is not the user's press of it.
    return button->hasFocus();
}

} // namespace

ButtonActivationKeys::ButtonActivationKeys(QObject *parent)
    : QObject(parent)
{
    QCoreApplication::instance()->installEventFilter(this);
}

void ButtonActivationKeys::install()
{
    QCoreApplication *application = QCoreApplication::instance();
    if (!application->findChild<ButtonActivationKeys *>(QString(), Qt::FindDirectChildrenOnly))
        new ButtonActivationKeys(application);
}

bool ButtonActivationKeys::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return false;
    const auto &key = static_cast<const QKeyEvent &>(*event);
    if (!isActivationKey(key) || !takesReturnAsSpace(watched))
        return false;
    // The button's own Space, press and release alike (a held key repeats as Space does), so
    // that it looks and acts as it does for Space, menus and checkable buttons included.
    QKeyEvent space(type, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), key.isAutoRepeat(),
                    key.count());
    QCoreApplication::sendEvent(watched, &space);
    event->accept();
    return true;
}

} // namespace tolvaran
