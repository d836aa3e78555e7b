#include "app/TolvaranWindow.h"

#include "app/ContentView.h"
#include "app/RefreshCommand.h"
#include "coordinator/ProjectListViewModel.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMenuBar>

namespace tolvaran {

TolvaranWindow::TolvaranWindow(ProjectListViewModel &viewModel, QWidget *parent)
    : QMainWindow(parent)
    , m_contentView(new ContentView(viewModel, this))
{
    setWindowTitle(QStringLiteral("Tolvaran"));
    setMinimumSize(minimumWidth, minimumHeight);
    resize(initialWidth, initialHeight);
    setCentralWidget(m_contentView);

    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    m_newProjectAction = file->addAction(QStringLiteral("New Project..."));
    m_newProjectAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    // Creating projects arrives with the coordinator's project actions; until then the
    // command shows, disabled, where it belongs.
    m_newProjectAction->setEnabled(false);
    m_refreshAction = file->addAction(QStringLiteral("Refresh"));
    m_refreshAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    connect(m_refreshAction, &QAction::triggered, this,
            [model = &viewModel] { runRefreshCommand(*model); });
    file->addSeparator();
    QAction *quit = file->addAction(QStringLiteral("Quit"));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, qApp, &QApplication::quit, Qt::QueuedConnection);
    // Window-wide shortcuts: they work from every screen of the root view, the search field
    // included.
    for (QAction *action : file->actions())
        action->setShortcutContext(Qt::WindowShortcut);
}

} // namespace tolvaran
