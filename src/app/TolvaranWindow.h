#pragma once

#include <QMainWindow>

#include <functional>
#include <memory>

class QAction;

namespace tolvaran {

class ContentView;
class FileDialogFolderPicker;
class ProjectListViewModel;

// The program's one window, titled "Tolvaran", with the root view as its content and the
// commands of its menu. The commands work whichever screen the root view shows.
class TolvaranWindow final : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int minimumWidth = 400;
    static constexpr int minimumHeight = 680;
    static constexpr int initialWidth = 1180;
    static constexpr int initialHeight = 820;

    explicit TolvaranWindow(ProjectListViewModel &viewModel, QWidget *parent = nullptr);
    ~TolvaranWindow() override;

    ContentView *contentView() const { return m_contentView; }
    QAction *newProjectAction() const { return m_newProjectAction; }
    QAction *refreshAction() const { return m_refreshAction; }

private:
    ContentView *m_contentView;
    std::unique_ptr<FileDialogFolderPicker> m_folderPicker; // the "New Project..." dialog
    QAction *m_newProjectAction;
    QAction *m_refreshAction;
};

} // namespace tolvaran
