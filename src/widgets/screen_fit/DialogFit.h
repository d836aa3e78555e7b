#pragma once

#include <QMargins>
#include <QObject>
#include <QRect>
#include <QSize>

#include <functional>

class QMessageBox;
class QWidget;

namespace tolvaran {

// Keeps a dialog, sheet or alert whole on a small screen: the dialog with the window
// manager's frame lies inside the free area (without panels) of the screen it shows on. It
// takes the size its own layout gives it, or the size of its design, where there is room;
// where there is not, it takes the room there is and its content gives way: text wraps,
// scroll areas scroll, and a message box whose text is taller than the screen shows that
// text in a scroll area of its own, with its buttons below.
//
// A dialog opens centred over the window it belongs to (over the free area where it belongs to
// none), moved in only as far as its frame must to lie inside that area. It is placed as it
// shows and again until its own size and its frame are known: a message box sizes itself as
// it shows, and the window manager frames a dialog only after that. (Qt centres a dialog as it
// shows only where nothing has moved it yet, and fitting moves it before then.)
//
// A dialog is fitted as it shows, and again once its frame is known or changes, when the text
// size or its content's size changes, and when it moves to another screen or the free area of
// its screen changes. Once open, it is moved only where its frame would leave that area.
class DialogFit final : public QObject
{
    Q_OBJECT

public:
    // The size a dialog of a fixed design takes where there is room, at the current text size.
    using DesignSize = std::function<QSize()>;

    // Fits `dialog`, a top-level window, from now on; once per dialog. Without `designSize` its
    // layout sizes it.
    static void follow(QWidget *dialog, DesignSize designSize = {});

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class DialogFitTesting;

    DialogFit(QWidget *dialog, DesignSize designSize);

    // Fits a shown `dialog` that follows to the free area `available` and places it as it
    // would open on that screen; fits it again to that area on the changes above, until it
    // shows again or its screen changes.
    static void fitToScreen(QWidget *dialog, const QRect &available);

    // Follows the screen the dialog is on, and its free area.
    void fitToCurrentScreen();
    void fitLater();
    void fit();
    void fitMessageBox(QMessageBox *box, const QSize &room);
    // The window manager's frame around the dialog: its own once known, else a guess.
    QMargins frameMargins() const;
    bool isFrameKnown() const;
    // The frame of the window the dialog belongs to, which it opens centred over.
    QRect ownerFrame() const;

    QWidget *m_dialog;
    DesignSize m_designSize;
    QRect m_available;
    QMargins m_fittedFrame;
    bool m_isFitPending = false;
    // From the dialog's show until a fit has placed it at its own size and in its own frame.
    bool m_isOpening = false;
    bool m_followsWindow = false;
    QMetaObject::Connection m_screenConnection;
};

} // namespace tolvaran
