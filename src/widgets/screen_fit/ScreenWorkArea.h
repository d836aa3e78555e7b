#pragma once

#include <QAbstractNativeEventFilter>
#include <QList>
#include <QObject>
#include <QRect>

#include <optional>

class QScreen;
struct xcb_connection_t;

namespace tolvaran {

// The free area of a screen as the window manager keeps it: the screen without the panels on
// it. Qt's X11 platform reports the desktop's one work area for a sole screen, and with two or
// more screens each screen whole, a panel's screen too; on X11 this asks the panels
// themselves what they keep (their struts, as the window manager reads them), screen by
// screen. Elsewhere (Wayland, the offscreen platform) Qt's free area is the window manager's.
// The one instance tells when the panels may have changed (one came, went, moved, hid or
// changed its strut): Qt tells it for a sole screen only.
class ScreenWorkArea final : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    // What a panel keeps along the edges of the desktop (X11's strut of a window): `left`
    // pixels from the desktop's left edge, over the rows `leftStart` to `leftEnd`, and so on.
    struct Strut
    {
        int left = 0;
        int right = 0;
        int top = 0;
        int bottom = 0;
        int leftStart = 0;
        int leftEnd = 0;
        int rightStart = 0;
        int rightEnd = 0;
        int topStart = 0;
        int topEnd = 0;
        int bottomStart = 0;
        int bottomEnd = 0;
    };

    // The free area of `screen`, inside its geometry. On X11 the panels are asked once, and
    // again only after the window manager's work area or list of windows changed, a panel's
    // strut changed, or a screen came, went or changed.
    static QRect available(const QScreen *screen);

    // The part of `screen` that `struts` leave free, in the window system's pixels, the desktop
    // reaching from (0, 0) to the far corner of `desktop`. A strut takes from a screen only
    // where it ends on that screen: one that reaches past a screen's far side is another
    // screen's inner edge, and takes nothing from this one.
    static QRect freeArea(const QRect &screen, const QRect &desktop, const QList<Strut> &struts);

    // `area`, inside the screen whose window system pixels are `native`, in Qt's pixels of
    // that screen (`logical`, `ratio` window system pixels to each), rounded inwards: a window
    // placed inside it lies inside `area` to the pixel.
    static QRect toLogical(const QRect &area, const QRect &native, const QRect &logical,
                           qreal ratio);

    // The instance that tells of changes, made with the first call (after the application).
    static ScreenWorkArea *instance();

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override;

Q_SIGNALS:
    // The panels may have changed: the free areas may have.
    void changed();

private:
    friend class ScreenWorkAreaTesting;

    // What the window manager and the panels say of the desktop.
    struct Desktop
    {
        // Of the panels shown now.
        QList<Strut> struts;
        // The desktop's one work area, where the window manager gives one.
        std::optional<QRect> workArea;
    };

    ScreenWorkArea();

    // Reads the struts of the windows the window manager lists, and its work area, over
    // `connection`, the windows' properties asked for all at once; none where no window manager
    // lists the desktop's windows. Asks to hear of each strut's changes.
    static std::optional<Desktop> readDesktop(xcb_connection_t *connection);
    // The part of `screen` that `desktop` leaves free, the desktop made of `screens`, all in
    // the window system's pixels.
    static QRect nativeFreeArea(const Desktop &desktop, const QRect &screen,
                                const QList<QRect> &screens);
    // What readDesktop read last, kept until a change that may change it: a dialog is fitted
    // many times as it opens, each time asking every window on the desktop. The GUI thread's
    // alone, as the screens are.
    static std::optional<std::optional<Desktop>> &readDesktopCache();
    void forgetDesktop();

    // The properties whose changes may change the free areas: the window manager's work area
    // and list of windows on the root window, a panel's struts on the panel.
    QList<quint32> m_rootAtoms;
    QList<quint32> m_panelAtoms;
    quint32 m_root = 0;
};

} // namespace tolvaran
