#include "widgets/screen_fit/DialogFit.h"

#include "widgets/FontScale.h"
#include "widgets/screen_fit/WindowFit.h"

#include <QEvent>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace tolvaran {

namespace {

const QString messageScrollName = QStringLiteral("messageScroll");

// Where `frame` goes to lie inside `available`: where it is, where it does; else moved in as
// little as it takes, its top left kept on screen where it is the larger.
QPoint placedInside(const QRect &frame, const QRect &available)
{
    return {std::max(available.left(),
                     std::min(frame.left(), available.right() + 1 - frame.width())),
            std::max(available.top(),
                     std::min(frame.top(), available.bottom() + 1 - frame.height()))};
}

// Whether `margins` are a frame the window manager has drawn: there is none before it frames
// the window, and for a moment while it does, X11 reports a frame of negative thickness.
bool isDrawnFrame(const QMargins &margins)
{
    return !margins.isNull() && margins.left() >= 0 && margins.top() >= 0
        && margins.right() >= 0 && margins.bottom() >= 0;
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

DialogFit::DialogFit(QWidget *dialog, DesignSize designSize)
    : QObject(dialog)
    , m_dialog(dialog)
    , m_designSize(std::move(designSize))
{
    if (const QScreen *screen = dialog->screen())
        m_available = screen->availableGeometry();
    dialog->installEventFilter(this);
    // The text size sets a design's size, and a layout's.
    FontScale::follow(this, [this] { fitLater(); });
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
        fitter->m_available = available;
        fitter->m_isOpening = true;
        fitter->fit();
    }
}

bool DialogFit::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_dialog)
        return false;
    switch (event->type()) {
    case QEvent::Show:
        m_isOpening = true;
        if (QWindow *window = m_dialog->windowHandle()) {
            if (!m_followsWindow) {
                m_followsWindow = true;
                connect(window, &QWindow::screenChanged, this, &DialogFit::fitToCurrentScreen);
            }
            // On the screen of the window it opens over, as Qt's own centring would put it,
            // whose free area it is fitted to.
            const QWidget *owner = m_dialog->parentWidget();
            QScreen *ownerScreen = owner ? owner->window()->screen() : nullptr;
            if (ownerScreen && window->screen() != ownerScreen)
                window->setScreen(ownerScreen);
        }
        fitToCurrentScreen();
        // Sized before it shows, where its own sizing is done; placed (and a message box,
        // which sizes itself as it shows, sized) once it shows.
        fit();
        fitLater();
        break;
    // The window manager's frame is known once it has framed the window, which moves or
    // resizes it.
    case QEvent::Move:
    case QEvent::Resize:
        if (frameMargins() != m_fittedFrame || (m_isOpening && isFrameKnown()))
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

void DialogFit::fitToCurrentScreen()
{
    QScreen *screen = m_dialog->screen();
    disconnect(m_screenConnection);
    if (!screen)
        return;
    m_screenConnection = connect(screen, &QScreen::availableGeometryChanged, this,
                                 &DialogFit::fitToCurrentScreen);
    m_available = screen->availableGeometry();
    fitLater();
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
            fit();
            // Shown, sized by itself and framed: it has opened where it stays.
            if (m_isOpening && m_dialog->isVisible() && isFrameKnown())
                m_isOpening = false;
        },
        Qt::QueuedConnection);
}

void DialogFit::fit()
{
    if (m_available.isEmpty())
        return;
    m_fittedFrame = frameMargins();
    const QSize room = WindowFit::room(m_available, m_fittedFrame);
    if (auto *box = qobject_cast<QMessageBox *>(m_dialog))
        fitMessageBox(box, room);
    else if (m_designSize)
        m_dialog->setFixedSize(m_designSize().boundedTo(room));
    else
        m_dialog->setMaximumSize(room);
    if (!m_dialog->isVisible())
        return;
    QRect frame = m_dialog->geometry().marginsAdded(m_fittedFrame);
    if (m_isOpening)
        frame.moveCenter(ownerFrame().center());
    const QPoint place = placedInside(frame, m_available);
    // The client area goes inside the frame; a move places the frame where Qt knows it, and
    // the client area where not yet.
    const QPoint clientPlace = place + QPoint(m_fittedFrame.left(), m_fittedFrame.top());
    const QPoint knownFrameOffset = m_dialog->geometry().topLeft() - m_dialog->pos();
    if (clientPlace != m_dialog->geometry().topLeft())
        m_dialog->move(clientPlace - knownFrameOffset);
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
    if (isFrameKnown())
        return m_dialog->windowHandle()->frameMargins();
    // Until the window manager has framed the dialog, the frame of the window it belongs to,
    // which the same window manager draws.
    const QWidget *owner = m_dialog->parentWidget();
    const QWindow *ownerWindow = owner ? owner->window()->windowHandle() : nullptr;
    return ownerWindow ? ownerWindow->frameMargins() : QMargins();
}

bool DialogFit::isFrameKnown() const
{
    const QWindow *window = m_dialog->windowHandle();
    return window && isDrawnFrame(window->frameMargins());
}

QRect DialogFit::ownerFrame() const
{
    const QWidget *owner = m_dialog->parentWidget();
    return owner ? owner->window()->frameGeometry() : m_available;
}

} // namespace tolvaran
