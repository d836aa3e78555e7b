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
#include <utility>

namespace tolvaran {

namespace {

// How long after the window is first drawn the window manager may still be placing it: X11
// tells of the window's place and of its first drawing in either order.
constexpr std::chrono::milliseconds placementTime{2000};

QList<QRect> screenGeometries()
{
    QList<QRect> geometries;
    for (const QScreen *screen : QGuiApplication::screens())
        geometries << screen->geometry();
    return geometries;
}

} // namespace

std::chrono::milliseconds TolvaranWindow::s_placementTime = placementTime;

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
    m_placement.setSingleShot(true);
    // The screen Qt reports now, before the window shows: the primary one, where the window
    // manager may show it on another (the pointer's).
    if (QScreen *opensOn = screen()) {
        m_firstSizeScreen = opensOn;
        m_fittedScreen = opensOn;
        m_fittedScreenPlace = opensOn->geometry().topLeft();
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
    keepUsersSize();
    if (firstSize)
        m_keptSize = QSize(initialWidth, initialHeight);
    m_available = available;
    m_fittedFrame = frameMargins();
    m_fittedLeastSize = leastSize();
    const WindowFit fitted =
        WindowFit::fit(available, m_fittedFrame, m_fittedLeastSize, m_keptSize);
    setMinimumSize(fitted.minimumSize);
    if (isSizedByTheWindowManager())
        return;
    m_fittedSize = fitted.size;
    if (fitted.size != size())
        resize(fitted.size);
}

bool TolvaranWindow::isSizedByTheWindowManager() const
{
    return windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen);
}

bool TolvaranWindow::takesFirstSize() const
{
    return !m_isDrawn || m_placement.isActive();
}

void TolvaranWindow::keepUsersSize()
{
    if (isSizedByTheWindowManager() || !m_fittedSize.isValid() || size() == m_fittedSize)
        return;
    m_keptSize = size();
    m_fittedSize = size();
}

QSize TolvaranWindow::leastSize() const
{
    return {std::max(minimumWidth, m_contentView->minimumSizeHint().width()), minimumHeight};
}

QMargins TolvaranWindow::frameMargins() const
{
    const QWindow *window = windowHandle();
    return window ? WindowFit::frameToFit(window->frameMargins(), window->devicePixelRatio())
                  : QMargins();
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
    if (watched == windowHandle() && event->type() == QEvent::Expose
        && windowHandle()->isExposed()) {
        m_isDrawn = true;
        m_placement.start(s_placementTime);
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
    if (!m_isDrawn)
        windowHandle()->installEventFilter(this);
    m_screensSeen = screenGeometries();
    followScreens();
    // Qt places the window on the screen where it is made, which may not be the one it was
    // first fitted for.
    if (screen() != m_firstSizeScreen)
        followScreenChange();
}

void TolvaranWindow::followScreens()
{
    const auto check = [this] { m_screenCheck.schedule(); };
    const auto follow = [this, check](QScreen *screen) {
        connect(screen, &QScreen::geometryChanged, this, check);
        connect(screen, &QScreen::availableGeometryChanged, this, check);
    };
    for (QScreen *screen : QGuiApplication::screens())
        follow(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this, follow](QScreen *added) {
        follow(added);
        m_screenCheck.schedule();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this](QScreen *removed) {
        // Told before Qt moves the window off it.
        if (removed == screen())
            m_sizeOnGoneScreen = size();
        m_screenCheck.schedule();
    });
    // Moved to another screen.
    connect(windowHandle(), &QWindow::screenChanged, this, check);
    // A panel came, went or moved, where Qt does not tell of it (two or more screens on X11).
    if (const ScreenWorkArea *workArea = ScreenWorkArea::instance()) {
        connect(workArea, &ScreenWorkArea::changed, this, check);
    }
}

void TolvaranWindow::followScreenChange()
{
    QScreen *current = screen();
    if (!current)
        return;
    const QRect available = ScreenWorkArea::available(current);
    const QList<QRect> seen = std::exchange(m_screensSeen, screenGeometries());
    // The window does not move with its screen: a screen moved is no free area shrunk.
    const QPoint screenPlace = current->geometry().topLeft();
    const bool sameScreen = std::exchange(m_fittedScreen, current) == current;
    const bool screenStayed = std::exchange(m_fittedScreenPlace, screenPlace) == screenPlace;
    if (takesFirstSize() && current != m_firstSizeScreen) {
        // Not yet placed for good, on another screen than its first size was for: the first
        // size for this one, the window inside it, as it would have opened there.
        m_firstSizeScreen = current;
        fitToScreen(available, true);
        moveInside(available);
        return;
    }
    const std::optional<QSize> sizeOnGoneScreen = std::exchange(m_sizeOnGoneScreen, {});
    if (sizeOnGoneScreen)
        comeBack(*sizeOnGoneScreen);
    const QSize had = sizeOnGoneScreen.value_or(size());
    const QRect before = m_available;
    const QRect was = geometry().marginsAdded(frameMargins());
    fitToScreen(available);
    if (!isVisible() || isSizedByTheWindowManager())
        return;
    if (sameScreen && screenStayed && available != before) {
        const QSize frameSize = geometry().marginsAdded(frameMargins()).size();
        moveFrameTo(WindowFit::keptInside(was, frameSize, before, available));
    }
    QList<QRect> freeAreas;
    for (const QScreen *screen : QGuiApplication::screens())
        freeAreas << ScreenWorkArea::available(screen);
    bringBackOnto(seen, m_screensSeen, freeAreas, had);
}

void TolvaranWindow::bringBackOnto(const QList<QRect> &seen, const QList<QRect> &screens,
                                   const QList<QRect> &freeAreas, const QSize &had)
{
    // A window the user left mostly off a screen stays while other screens change.
    const QRect frame = geometry().marginsAdded(frameMargins());
    if (!WindowFit::isMostlyOff(frame, screens)
        || WindowFit::shownArea(frame, screens) >= WindowFit::shownArea(frame, seen))
        return;
    const qsizetype nearest = WindowFit::nearest(frame, screens);
    if (nearest < 0 || freeAreas.value(nearest).isEmpty())
        return;
    comeBack(had);
    fitToScreen(freeAreas.at(nearest));
    moveInside(freeAreas.at(nearest));
}

void TolvaranWindow::comeBack(const QSize &had)
{
    m_keptSize = had.boundedTo(QSize(initialWidth, initialHeight));
    // The size it has now is none of the user's: the window system may have changed it as the
    // screens changed.
    m_fittedSize = size();
}

void TolvaranWindow::moveInside(const QRect &available)
{
    moveFrameTo(WindowFit::placedInside(geometry().marginsAdded(frameMargins()), available));
}

void TolvaranWindow::moveFrameTo(const QPoint &place)
{
    const QMargins frame = frameMargins();
    const QPoint clientPlace = place + QPoint(frame.left(), frame.top());
    if (clientPlace == geometry().topLeft())
        return;
    // A move places the frame where Qt knows it, and the client area where not yet.
    const QPoint knownFrameOffset = geometry().topLeft() - pos();
    move(clientPlace - knownFrameOffset);
}

void TolvaranWindow::setUpdater(AppUpdateService *updater)
{
    m_updater = updater;
    m_contentView->setUpdater(updater);
}

} // namespace tolvaran
