#pragma once

#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

class QMessageBox;
class QScreen;
class QWidget;

namespace tolvaran {

// Keeps a dialog, sheet or alert whole on a small screen: the dialog with the window
// manager's frame lies inside the free area (without panels) of the screen it shows on. It
// takes the size its own layout gives it, or the size of its design, where there is room;
// where there is not, it takes the room there is and its content gives way: text wraps,
// scroll areas scroll, and a message box whose text is taller than the screen shows that
// text in a scroll area of its own, with its buttons below.
//
// A dialog opens on the screen that holds the centre of its window's frame, centred over that
// frame (over the free area where it belongs to no window), moved in only as far as its frame
// must to lie inside that screen's free area. It is placed as it shows and again until its own
// size and its frame are known, it is drawn and its frame and its window's have rested a
// moment, or for two seconds at most (where no window manager frames it): a message box sizes
// itself as it shows, the window manager frames a dialog only after that, and a window moved or
// maximised a moment before may report its new frame only then. Qt's own centring is not
// used. The screens are told by where the frames lie, not by the screen the window system last
// reported for the dialog, which may be one the dialog has already left. A dialog whose text
// wraps opens as tall as that text asks at the width it opened at, whatever sizes X11 reports
// for it meanwhile. The free area is the window manager's (`ScreenWorkArea`).
//
// A dialog is fitted as it shows, and again once its frame is known or changes, when the text
// size or its content's size changes, and when it moves to another screen or the free area of
// its screen changes. Once open, it fits the screen that holds its own frame's centre, and is
// moved only where its frame would leave that screen's free area.
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
    // shows again.
    static void fitToScreen(QWidget *dialog, const QRect &available);

    // The screen whose free area the dialog fits: its window's while it opens, then its own.
    QScreen *screenToFit() const;
    // Follows the free area of `screen`.
    void watchScreen(QScreen *screen);
    void fitLater();
    void fit();
    // The dialog stays where it is from now on, moved only to stay on its screen.
    void endOpening();
    // Makes a dialog whose text wraps as tall as that text asks at the width it opened at,
    // within `room`.
    void sizeToItsText(const QSize &room);
    void fitMessageBox(QMessageBox *box, const QSize &room);
    // The window manager's frame around the dialog to fit (WindowFit::frameToFit): its own
    // once known, else a guess.
    QMargins frameMargins() const;
    bool isFrameKnown() const;
    // The window the dialog belongs to, if any.
    QWidget *ownerWindow() const;
    // The frame of the window the dialog opens centred over, as it now stands; none where the
    // dialog belongs to no window.
    QRect ownerFrame() const;

    QWidget *m_dialog;
    DesignSize m_designSize;
    // The free area given to fitToScreen, in place of the screen's.
    std::optional<QRect> m_chosenArea;
    QMargins m_fittedFrame;
    // The width Qt gave the dialog as it showed.
    int m_openingWidth = 0;
    bool m_isFitPending = false;
    // From the dialog's show until a fit has placed it at its own size, in its own frame,
    // drawn, once its frame and its window's have rested, or until its time to open has run
    // out; never while it is hidden.
    bool m_isOpening = false;
    bool m_followsWindow = false;
    // Runs while the frames of the dialog or its window changed of late, as it opens.
    QTimer m_settling;
    // Runs from the dialog's show for as long as it may take to open.
    QTimer m_openingLimit;
    // How long the frames rest, and how long a dialog may take, before it has opened; tests
    // that play the window system's reports to an opening dialog lengthen them.
    static std::chrono::milliseconds s_settleTime;
    static std::chrono::milliseconds s_openingTimeLimit;
    // The window whose frame the dialog follows while it opens.
    QPointer<QWidget> m_watchedOwner;
    QPointer<QScreen> m_watchedScreen;
    QMetaObject::Connection m_screenConnection;
};

} // namespace tolvaran
