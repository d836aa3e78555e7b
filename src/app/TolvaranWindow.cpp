#include "app/TolvaranWindow.h"

#include "app/window/ContentView.h"
#include "app/FileDialogFolderPicker.h"
#include "app/window/RefreshCommand.h"
#include "coordinator/ProjectListViewModel.h"
#include "widgets/screen_fit/WindowFit.h"

#include <QAction>
#include <QApplication>
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
    if (const QScreen *opensOn = screen())
        fitToScreen(opensOn->availableGeometry(), true);

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

void TolvaranWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_followsScreen || !windowHandle())
        return;
    m_followsScreen = true;
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
    if (const QScreen *current = screen())
        fitToScreen(current->availableGeometry());
}

void TolvaranWindow::setUpdater(AppUpdateService *updater)
{
    m_updater = updater;
    m_contentView->setUpdater(updater);
}

} // namespace tolvaran
