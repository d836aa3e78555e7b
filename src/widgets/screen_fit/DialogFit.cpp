#include "widgets/screen_fit/DialogFit.h"

#include "widgets/FontScale.h"
#include "widgets/screen_fit/ScreenWorkArea.h"
#include "widgets/screen_fit/WindowFit.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <limits>

namespace tolvaran {

namespace {

const QString messageScrollName = QStringLiteral("messageScroll");

// How long the frames of a dialog and of its window rest before the dialog counts as opened:
// X11 reports the frame the window manager gives a window a moment after it changes, a
// window moved or maximised by a program included.
constexpr std::chrono::milliseconds openingSettleTime{250};

// How long a dialog may take to open. Where no window manager frames it (none runs, one that
// does not reparent, an undecorated dialog), its frame never becomes known; it has opened once
// this has passed, and from then on stays where it is moved.
constexpr std::chrono::milliseconds openingTimeLimit{2000};

// Whether `margins` are a frame the window manager has drawn: there is none before it frames
// the window, and for a moment while it does, X11 reports a frame of negative thickness.
bool isDrawnFrame(const QMargins &margins)
{
    return !margins.isNull() && margins.left() >= 0 && margins.top() >= 0
        && margins.right() >= 0 && margins.bottom() >= 0;
}

// The screen a frame lies on: the one that holds its centre, where none does (a centre in the
// gap beside a smaller screen) the one it overlaps most, else the one nearest to its centre.
QScreen *screenHolding(const QRect &frame)
{
    const QPoint centre = frame.center();
    QScreen *nearest = nullptr;
    qint64 largestOverlap = 0;
    qint64 leastDistance = std::numeric_limits<qint64>::max();
    for (QScreen *screen : QGuiApplication::screens()) {
        const QRect area = screen->geometry();
        if (area.contains(centre))
            return screen;
        const QRect overlap = area.intersected(frame);
        const qint64 overlapArea = qint64(overlap.width()) * overlap.height();
        const qint64 dx = std::max({0, area.left() - centre.x(), centre.x() - area.right()});
        const qint64 dy = std::max({0, area.top() - centre.y(), centre.y() - area.bottom()});
        const qint64 distance = dx * dx + dy * dy;
        if (overlapArea > largestOverlap
            || (largestOverlap == 0 && overlapArea == 0 && distance < leastDistance)) {
            nearest = screen;
            largestOverlap = overlapArea;
            leastDistance = distance;
        }
    }
    return nearest;
}

// Puts the message box's informative text (or its text, where it has none) into a scroll
// area in the label's place; answers the area, or none where it could not. Qt's message box
// has no scrolling text of its own, but names its labels and lays them out in a layout we can
// reach.
QScrollArea *scrollMessageText(QMessageBox *box)
{
    QLabel *text = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"));
    if (!text || text->text().isEmpty())
        text = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
    if (!text || !box->layout())
        return nullptr;
    auto *scroll = new QScrollArea(box);
    scroll->setObjectName(messageScrollName);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    QLayoutItem *replaced = box->layout()->replaceWidget(text, scroll);
    if (!replaced) {
        delete scroll;
        return nullptr;
    }
    delete replaced;
    scroll->setWidget(text);
    return scroll;
}

} // namespace

std::chrono::milliseconds DialogFit::s_settleTime = openingSettleTime;
std::chrono::milliseconds DialogFit::s_openingTimeLimit = openingTimeLimit;

DialogFit::DialogFit(QWidget *dialog, DesignSize designSize)
    : QObject(dialog)
    , m_dialog(dialog)
    , m_designSize(std::move(designSize))
{
    dialog->installEventFilter(this);
    m_settling.setSingleShot(true);
    m_settling.setInterval(s_settleTime);
    connect(&m_settling, &QTimer::timeout, this, &DialogFit::fitLater);
    m_openingLimit.setSingleShot(true);
    m_openingLimit.setInterval(s_openingTimeLimit);
    connect(&m_openingLimit, &QTimer::timeout, this, &DialogFit::fitLater);
    // The text size sets a design's size, and a layout's.
    FontScale::follow(this, [this] { fitLater(); });
    if (const ScreenWorkArea *workArea = ScreenWorkArea::instance())
        connect(workArea, &ScreenWorkArea::changed, this, &DialogFit::fitLater);
    fit();
}

void DialogFit::follow(QWidget *dialog, DesignSize designSize)
{
    if (!dialog->findChild<DialogFit *>(QString(), Qt::FindDirectChildrenOnly))
        new DialogFit(dialog, std::move(designSize));
}

void DialogFit::fitToScreen(QWidget *dialog, const QRect &available)
{
    if (auto *fitter = dialog->findChild<DialogFit *>(QString(), Qt::FindDirectChildrenOnly)) {
        fitter->m_chosenArea = available;
        fitter->m_isOpening = true;
        fitter->fit();
    }
}

bool DialogFit::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_dialog) {
        // The window's frame as it stands: X11 reports a move or a maximise of the window a
        // moment after it was asked for, which may be after the dialog began to open.
        if (event->type() == QEvent::Move || event->type() == QEvent::Resize) {
            m_settling.start();
            fitLater();
        }
        return false;
    }
    switch (event->type()) {
    case QEvent::Show:
        m_isOpening = true;
        // Qt has sized it for its content by now; X11's reports to come may not have.
        m_openingWidth = m_dialog->width();
        m_settling.start();
        m_openingLimit.start();
        m_chosenArea.reset();
        // Placed by us alone: Qt's own centring reads the window's screen as Qt last heard of
        // it, and its guess of the frame.
        m_dialog->setAttribute(Qt::WA_Moved);
        m_watchedOwner = ownerWindow();
        if (m_watchedOwner)
            m_watchedOwner->installEventFilter(this);
        if (QWindow *window = m_dialog->windowHandle(); window && !m_followsWindow) {
            m_followsWindow = true;
            connect(window, &QWindow::screenChanged, this, &DialogFit::fitLater);
        }
        // Sized before it shows, where its own sizing is done; placed (and a message box,
        // which sizes itself as it shows, sized) once it shows.
        fit();
        fitLater();
        break;
    case QEvent::Hide:
        // Shown again, it opens anew.
        endOpening();
        break;
    // The window manager's frame is known once it has framed the window, which moves or
    // resizes it. While the dialog opens, X11 also reports sizes and places it had a moment
    // before (the size its window was made at), which Qt takes on until the next report.
    case QEvent::Move:
    case QEvent::Resize:
        if (m_isOpening)
            m_settling.start();
        if (m_isOpening || frameMargins() != m_fittedFrame)
            fitLater();
        break;
    case QEvent::LayoutRequest:
    case QEvent::FontChange:
    case QEvent::StyleChange:
        fitLater();
        break;
    default:
        break;
    }
    return false;
}

QScreen *DialogFit::screenToFit() const
{
    // Taken from where the frames lie, never from the screen X11 last reported for the dialog:
    // that report comes from a configure event, which may describe where the dialog was a
    // moment before (where its window was made, or inside the window manager's new frame).
    const QRect over = ownerFrame();
    QScreen *screen = nullptr;
    if (!over.isNull() && (m_isOpening || !m_dialog->isVisible()))
        screen = screenHolding(over);
    else if (m_dialog->isVisible())
        screen = screenHolding(m_dialog->geometry().marginsAdded(frameMargins()));
    return screen ? screen : m_dialog->screen();
}

void DialogFit::watchScreen(QScreen *screen)
{
    if (screen == m_watchedScreen)
        return;
    disconnect(m_screenConnection);
    m_watchedScreen = screen;
    if (screen)
        m_screenConnection = connect(screen, &QScreen::availableGeometryChanged, this,
                                     &DialogFit::fitLater);
}

void DialogFit::fitLater()
{
    // After what asked for it has been handled: the layout's new size, the message box's own.
    if (m_isFitPending)
        return;
    m_isFitPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_isFitPending = false;
            // Out of time to open, it is fitted where it stands: where its frame never becomes
            // known, every move would otherwise put it back over its window.
            if (m_isOpening && !m_openingLimit.isActive())
                endOpening();
            fit();
            // Shown, sized by itself, framed, drawn and at rest with its window: it has opened
            // where it stays.
            const QWindow *window = m_dialog->windowHandle();
            if (m_isOpening && m_dialog->isVisible() && isFrameKnown() && window->isExposed()
                && !m_settling.isActive())
                endOpening();
        },
        Qt::QueuedConnection);
}

void DialogFit::fit()
{
    QScreen *screen = screenToFit();
    watchScreen(screen);
    const QRect available =
        m_chosenArea ? *m_chosenArea : ScreenWorkArea::available(screen);
    if (available.isEmpty())
        return;
    // The dialog is on the screen it fits, whatever Qt last heard of its own.
    if (screen && m_dialog->screen() != screen)
        m_dialog->setScreen(screen);
    m_fittedFrame = frameMargins();
    const QSize room = WindowFit::room(available, m_fittedFrame);
    if (auto *box = qobject_cast<QMessageBox *>(m_dialog))
        fitMessageBox(box, room);
    else if (m_designSize)
        m_dialog->setFixedSize(m_designSize().boundedTo(room));
    else
        m_dialog->setMaximumSize(room);
    if (!m_dialog->isVisible())
        return;
    if (m_isOpening)
        sizeToItsText(room);
    QRect frame = m_dialog->geometry().marginsAdded(m_fittedFrame);
    if (m_isOpening) {
        const QRect over = ownerFrame();
        frame.moveCenter((over.isNull() ? available : over).center());
    }
    const QPoint place = WindowFit::placedInside(frame, available);
    // The client area goes inside the frame; a move places the frame where Qt knows it, and
    // the client area where not yet.
    const QPoint clientPlace = place + QPoint(m_fittedFrame.left(), m_fittedFrame.top());
    const QPoint knownFrameOffset = m_dialog->geometry().topLeft() - m_dialog->pos();
    if (clientPlace != m_dialog->geometry().topLeft())
        m_dialog->move(clientPlace - knownFrameOffset);
}

void DialogFit::endOpening()
{
    m_isOpening = false;
    m_settling.stop();
    m_openingLimit.stop();
    // Its window's frame matters only while it opens.
    if (m_watchedOwner)
        m_watchedOwner->removeEventFilter(this);
    m_watchedOwner = nullptr;
}

void DialogFit::sizeToItsText(const QSize &room)
{
    // Qt sizes a window whose text wraps by its layout's least size, which may be for another
    // width than the one it shows at: wrapped text would then be cut. While it opens, X11
    // reports sizes the dialog had a moment before, narrower or wider, which Qt takes on: its
    // text is measured at the width it opened at, never at such a report's, and the dialog
    // takes that height whether it is taller or lower now.
    const QLayout *layout = m_dialog->layout();
    if (!layout || !layout->hasHeightForWidth() || qobject_cast<QMessageBox *>(m_dialog)
        || m_designSize || m_openingWidth <= 0)
        return;
    const int width = std::clamp(m_openingWidth, std::min(m_dialog->minimumWidth(), room.width()),
                                 room.width());
    const QSize size(width, std::min(layout->totalHeightForWidth(width), room.height()));
    if (size != m_dialog->size())
        m_dialog->resize(size);
}

void DialogFit::fitMessageBox(QMessageBox *box, const QSize &room)
{
    // A message box sizes itself (to a fixed size) as it shows and when its font or style
    // changes, without the frame and as tall as its text; it is fitted after that.
    if (!box->isVisible())
        return;
    auto *scroll = box->findChild<QScrollArea *>(messageScrollName);
    if (!scroll) {
        if (box->width() <= room.width() && box->height() <= room.height())
            return;
        // The widest lines first, so that the text takes as few of them as it can.
        QLayout *layout = box->layout();
        const int height = layout && layout->hasHeightForWidth()
                               ? layout->totalHeightForWidth(room.width())
                               : box->height();
        const bool wraps = !layout || layout->totalMinimumSize().width() <= room.width();
        if (wraps && height <= room.height()) {
            box->setFixedSize(room.width(), height);
            return;
        }
        scroll = scrollMessageText(box);
        if (!scroll)
            return;
    }
    // The box gives its text the width the text asks for (again as it sizes itself); in the
    // scroll area the text takes the area's width, and only a word wider scrolls sideways.
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    scroll->widget()->setSizePolicy(policy);
    box->setFixedSize(room);
}

QMargins DialogFit::frameMargins() const
{
    const qreal ratio = m_dialog->devicePixelRatioF();
    if (isFrameKnown())
        return WindowFit::frameToFit(m_dialog->windowHandle()->frameMargins(), ratio);
    // Until the window manager has framed the dialog, the frame of the window it belongs to,
    // which the same window manager draws.
    const QWidget *owner = ownerWindow();
    const QWindow *ownerHandle = owner ? owner->windowHandle() : nullptr;
    return WindowFit::frameToFit(ownerHandle ? ownerHandle->frameMargins() : QMargins(), ratio);
}

bool DialogFit::isFrameKnown() const
{
    const QWindow *window = m_dialog->windowHandle();
    return window && isDrawnFrame(window->frameMargins());
}

QWidget *DialogFit::ownerWindow() const
{
    QWidget *owner = m_dialog->parentWidget();
    return owner ? owner->window() : nullptr;
}

QRect DialogFit::ownerFrame() const
{
    const QWidget *owner = ownerWindow();
    if (!owner)
        return {};
    // The window system's frame as it now stands: the widget's own copy of the frame's
    // thickness is brought up to date only as the window moves, not when the window manager
    // frames it anew (a maximise that drops the borders).
    const QWindow *handle = owner->windowHandle();
    return handle ? handle->frameGeometry() : owner->frameGeometry();
}

} // namespace tolvaran
