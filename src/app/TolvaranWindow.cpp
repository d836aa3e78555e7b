#include "app/TolvaranWindow.h"

#include "app/window/ContentView.h"
#include "app/FileDialogFolderPicker.h"
#include "app/window/RefreshCommand.h"
#include "coordinator/ProjectListViewModel.h"
#include "widgets/screen_fit/ScreenWorkArea.h"
#include "widgets/screen_fit/WindowFit.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMenuBar>
#include <QScreen>
#include <QWindow>

#include <algorithm>

namespace tolvaran {

TolvaranWindow::TolvaranWindow(ProjectListViewModel &viewModel,
                               TeamWorkspaceService &teamWorkspace,
                               ProjectDetailModelFactory detailModels, QWidget *parent)
    : QMainWindow(parent)
    , m_folderPicker(std::make_unique<FileDialogFolderPicker>(this))
    , m_contentView(new ContentView(viewModel, teamWorkspace, *m_folderPicker,
                                    std::move(detailModels), this))
{
    setWindowTitle(QStringLiteral("Tolvaran"));
    setCentralWidget(m_contentView);
    setMinimumSize(leastSize());
    resize(initialWidth, initialHeight);
    // The screen Qt reports now, before the window shows: the primary one, where the window
    // manager may show it on another (the pointer's).
    if (QScreen *opensOn = screen()) {
        m_firstSizeScreen = opensOn;
        fitToScreen(ScreenWorkArea::available(opensOn), true);
    }

    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    m_newProjectAction = file->addAction(QStringLiteral("New Project..."));
    m_newProjectAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    connect(m_newProjectAction, &QAction::triggered, this,
            [this, model = &viewModel] { model->createNewProject(*m_folderPicker); });
    m_refreshAction = file->addAction(QStringLiteral("Refresh"));
    m_refreshAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    connect(m_refreshAction, &QAction::triggered, this,
            [this, model = &viewModel] { runRefreshCommand(*model, m_updater); });
    file->addSeparator();
    QAction *quit = file->addAction(QStringLiteral("Quit"));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, qApp, &QApplication::quit, Qt::QueuedConnection);
    // Window-wide shortcuts: they work from every screen of the root view, the search field
    // included.
    for (QAction *action : file->actions())
        action->setShortcutContext(Qt::WindowShortcut);
}

TolvaranWindow::~TolvaranWindow() = default;

void TolvaranWindow::fitToScreen(const QRect &available, bool firstSize)
{
    if (available.isEmpty())
        return;
    m_available = available;
    m_fittedFrame = frameMargins();
    m_fittedLeastSize = leastSize();
    // A screen that needed more than the window's width widened it: once no screen needs
    // that, the window goes back to the width it had, unless the user has sized it since.
    if (m_widenedFrom && (firstSize || size().width() != m_widenedTo))
        m_widenedFrom.reset();
    QSize wanted = firstSize ? QSize(initialWidth, initialHeight) : size();
    if (m_widenedFrom)
        wanted.setWidth(*m_widenedFrom);
    const WindowFit fitted =
        WindowFit::fit(available, m_fittedFrame, m_fittedLeastSize, wanted);
    setMinimumSize(fitted.minimumSize);
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return;
    if (fitted.size.width() > wanted.width()) {
        m_widenedFrom = wanted.width();
        m_widenedTo = fitted.size.width();
    } else {
        m_widenedFrom.reset();
    }
    if (fitted.size != size())
        resize(fitted.size);
}

QSize TolvaranWindow::leastSize() const
{
    return {std::max(minimumWidth, m_contentView->minimumSizeHint().width()), minimumHeight};
}

QMargins TolvaranWindow::frameMargins() const
{
    return windowHandle() ? windowHandle()->frameMargins() : QMargins();
}

bool TolvaranWindow::event(QEvent *event)
{
    const bool handled = QMainWindow::event(event);
    switch (event->type()) {
    // The window manager's frame is known once it has placed the window, which moves or
    // resizes it; the content's least width moves with the text size and the screen it shows,
    // which ask for a new layout.
    case QEvent::Show:
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::LayoutRequest:
        if (!m_available.isEmpty()
            && (frameMargins() != m_fittedFrame || leastSize() != m_fittedLeastSize))
            fitToScreen(m_available);
        break;
    default:
        break;
    }
    return handled;
}

bool TolvaranWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Drawn on a screen, the window keeps the size it has there from now on.
    if (watched == windowHandle() && event->type() == QEvent::Expose
        && windowHandle()->isExposed()) {
        m_takesFirstSize = false;
        windowHandle()->removeEventFilter(this);
    }
    return QMainWindow::eventFilter(watched, event);
}

void TolvaranWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_followsScreen || !windowHandle())
        return;
    m_followsScreen = true;
    if (m_takesFirstSize)
        windowHandle()->installEventFilter(this);
    // Qt places the window on the screen where it is made, which may not be the one it was
    // first fitted for.
    if (m_takesFirstSize && screen() != m_firstSizeScreen)
        fitToCurrentScreen();
    followScreens();
    // Moved to another screen, or the free area of this one changed (a panel came or went).
    connect(windowHandle(), &QWindow::screenChanged, this, [this](QScreen *now) {
        if (now) {
            connect(now, &QScreen::availableGeometryChanged, this,
                    &TolvaranWindow::fitToCurrentScreen, Qt::UniqueConnection);
        }
        fitToCurrentScreen();
    });
    if (QScreen *current = screen()) {
        connect(current, &QScreen::availableGeometryChanged, this,
                &TolvaranWindow::fitToCurrentScreen, Qt::UniqueConnection);
    }
}

void TolvaranWindow::fitToCurrentScreen()
{
    QScreen *current = screen();
    if (!current)
        return;
    const QRect available = ScreenWorkArea::available(current);
    if (!m_takesFirstSize || current == m_firstSizeScreen) {
        fitToScreen(available);
        return;
    }
    // Not yet drawn, on another screen than its first size was for: the first size for this
    // one, the window inside it, as it would have opened there.
    m_firstSizeScreen = current;
    fitToScreen(available, true);
    moveInside(available);
}

void TolvaranWindow::followScreens()
{
    const auto checkLater = [this] {
        // Screens change together (one goes, the others move): once they have.
        if (m_isScreenCheckPending)
            return;
        m_isScreenCheckPending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_isScreenCheckPending = false;
                bringBackOnScreen();
            },
            Qt::QueuedConnection);
    };
    const auto follow = [this, checkLater](QScreen *screen) {
        connect(screen, &QScreen::geometryChanged, this, checkLater);
        connect(screen, &QScreen::availableGeometryChanged, this, checkLater);
    };
    for (QScreen *screen : QGuiApplication::screens())
        follow(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [follow, checkLater](QScreen *added) {
        follow(added);
        checkLater();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, checkLater);
    // A panel came, went or moved, where Qt does not tell of it (two or more screens on X11).
    if (const ScreenWorkArea *workArea = ScreenWorkArea::instance()) {
        connect(workArea, &ScreenWorkArea::changed, this, [this, checkLater] {
            fitToCurrentScreen();
            checkLater();
        });
    }
}

void TolvaranWindow::bringBackOnScreen()
{
    QList<QRect> screens;
    QList<QRect> freeAreas;
    for (const QScreen *screen : QGuiApplication::screens()) {
        screens << screen->geometry();
        freeAreas << ScreenWorkArea::available(screen);
    }
    bringBackOnto(screens, freeAreas);
}

void TolvaranWindow::bringBackOnto(const QList<QRect> &screens, const QList<QRect> &freeAreas)
{
    if (!isVisible() || (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        || !WindowFit::isMostlyOff(frameGeometry(), screens))
        return;
    const qsizetype nearest = WindowFit::nearest(frameGeometry(), screens);
    if (nearest < 0 || freeAreas.value(nearest).isEmpty())
        return;
    fitToScreen(freeAreas.at(nearest));
    moveInside(freeAreas.at(nearest));
}

void TolvaranWindow::moveInside(const QRect &available)
{
    const QMargins frame = frameMargins();
    const QRect frameArea = geometry().marginsAdded(frame);
    const QPoint place = WindowFit::placedInside(frameArea, available);
    if (place == frameArea.topLeft())
        return;
    // The client area goes inside the frame; a move places the frame where Qt knows it, and
    // the client area where not yet.
    const QPoint knownFrameOffset = geometry().topLeft() - pos();
    move(place + QPoint(frame.left(), frame.top()) - knownFrameOffset);
}

void TolvaranWindow::setUpdater(AppUpdateService *updater)
{
    m_updater = updater;
    m_contentView->setUpdater(updater);
}

} // namespace tolvaran
