#include "app/TolvaranWindow.h"

#include "app/ContentView.h"
#include "app/FileDialogFolderPicker.h"
#include "app/RefreshCommand.h"
#include "coordinator/ProjectListViewModel.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMenuBar>

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
    setMinimumSize(minimumWidth, minimumHeight);
    resize(initialWidth, initialHeight);
    setCentralWidget(m_contentView);

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

void TolvaranWindow::setUpdater(AppUpdateService *updater)
{
    m_updater = updater;
    m_contentView->setUpdater(updater);
}

} // namespace tolvaran
