#pragma once

#include "detail/ProjectDetailViewModel.h"

#include <QList>
#include <QMainWindow>
#include <QMargins>
#include <QPointer>
#include <QRect>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QScreen;

namespace tolvaran {

class AppUpdateService;
class ContentView;
class FileDialogFolderPicker;
class ProjectListViewModel;
class TeamWorkspaceService;

// The program's one window, titled "Tolvaran", with the root view as its content and the
// commands of its menu. The commands work whichever screen the root view shows. It is never
// narrower than its content needs at the current text size. Its least and first sizes give
// way to a smaller screen: the whole window, the window manager's frame, page bar and status
// line included, always fits the free area of the screen it is on. It opens at its first
// size for the screen it shows on, which may not be the one Qt reported as it was made. Left
// mostly off every screen as screens come, go or change (an outer screen turned off), it comes
// back whole onto the nearest one's free area.
class TolvaranWindow final : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int minimumWidth = 400;
    static constexpr int minimumHeight = 680;
    static constexpr int initialWidth = 1180;
    static constexpr int initialHeight = 820;

    // The team workspace must outlive the window; `detailModels` makes the model of each
    // detail pane the user opens.
    TolvaranWindow(ProjectListViewModel &viewModel, TeamWorkspaceService &teamWorkspace,
                   ProjectDetailModelFactory detailModels, QWidget *parent = nullptr);
    ~TolvaranWindow() override;

    ContentView *contentView() const { return m_contentView; }
    QAction *newProjectAction() const { return m_newProjectAction; }
    QAction *refreshAction() const { return m_refreshAction; }

    // The updater of the browser's update control, the launch work and the "Refresh" command;
    // must outlive the window.
    void setUpdater(AppUpdateService *updater);

    // Fits the window, its frame included, to a screen whose free area (without panels) is
    // `available`: at least minimumWidth (or the content's least width, where that is more)
    // by minimumHeight, or the whole area where it is smaller. With `firstSize` the window
    // also takes initialWidth by initialHeight, or as much of them as fits. The window fits
    // this area again whenever its frame (known only once the window manager has placed the
    // window) or its content's least width changes. Widened for a screen's least width, it goes
    // back to its earlier width when that screen goes, unless the user sized it meanwhile. A
    // maximised or full-screen window keeps the size the window manager gave it.
    void fitToScreen(const QRect &available, bool firstSize = false);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    friend class TolvaranWindowTesting;

    void fitToCurrentScreen();
    // Follows every screen's geometry and free area, and screens that come or go.
    void followScreens();
    void bringBackOnScreen();
    // Where less than half of the window shows on `screens`, fits it to the free area of the
    // nearest of them (`freeAreas`, one for each) and moves it inside that area whole.
    void bringBackOnto(const QList<QRect> &screens, const QList<QRect> &freeAreas);
    // Moves the window, its frame included, inside `available` where it sticks out.
    void moveInside(const QRect &available);
    QSize leastSize() const;
    QMargins frameMargins() const;

    // The "New Project..." dialog, of the menu command and the browser's add button; made
    // before the content, which hands it to the browser.
    std::unique_ptr<FileDialogFolderPicker> m_folderPicker;
    ContentView *m_contentView;
    QAction *m_newProjectAction;
    QAction *m_refreshAction;
    AppUpdateService *m_updater = nullptr;
    bool m_followsScreen = false;
    bool m_isScreenCheckPending = false;
    // Until the window is first drawn, its first size is for the screen it shows on: the
    // screen that size was last fitted for.
    bool m_takesFirstSize = true;
    QPointer<QScreen> m_firstSizeScreen;
    // What the last fit was for: the free area, and the frame and least size it found.
    QRect m_available;
    QMargins m_fittedFrame;
    QSize m_fittedLeastSize;
    // The width the window had before a screen's least width widened it, and the width it was
    // widened to.
    std::optional<int> m_widenedFrom;
    int m_widenedTo = 0;
};

} // namespace tolvaran
