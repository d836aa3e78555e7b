#pragma once

#include "detail/ProjectDetailViewModel.h"
#include "work/QueuedCall.h"

#include <QList>
#include <QMainWindow>
#include <QMargins>
#include <QPointer>
#include <QRect>
#include <QTimer>

#include <chrono>
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
// size for the screen it shows on, which may not be the one Qt reported as it was made,
// whether the window system tells of its place before or after it is first drawn.
//
// It keeps its size (its first one, then the one the user gives it) wherever the free area has
// room for it, and takes it back when a screen or panel that narrowed it goes. Where its
// screen's free area shrinks under it (a panel came, the screen shrank), each edge of the
// window that lay inside stays inside: it is moved as well as resized. Left mostly off every
// screen it was on as screens go or change (an outer screen turned off), it comes back whole
// onto the nearest one's free area, at its size or at the size it would open at there where
// that is smaller; one the user left mostly off a screen stays while other screens change.
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
    // by minimumHeight, or the whole area where it is smaller, and as much of the size it
    // keeps as fits. With `firstSize` the size it keeps becomes initialWidth by initialHeight;
    // a size the user gave it since the last fit is the size it keeps from then on. The window
    // fits this area again whenever its frame (known only once the window manager has placed
    // the window) or its content's least width changes: widened for a screen's least width, it
    // goes back to the size it keeps when that screen goes. A maximised or full-screen window
    // keeps the size the window manager gave it.
    void fitToScreen(const QRect &available, bool firstSize = false);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    friend class TolvaranWindowTesting;

    // Follows every screen's geometry and free area, screens that come or go, and the screen
    // the window is on, checking once they have changed together.
    void followScreens();
    // After screens, free areas or the window's screen changed: while the window is placed, its
    // first size for a new screen; else the window fitted again to its screen's free area,
    // kept inside where that shrank, and brought back where the change left it mostly off.
    void followScreenChange();
    // Where the window shows less than half on `screens` and less than it showed on `seen`
    // (the screens before they changed), fits it to the free area of the nearest of them
    // (`freeAreas`, one for each) as it comes back, having had the size `had`, and moves it
    // inside that area whole.
    void bringBackOnto(const QList<QRect> &seen, const QList<QRect> &screens,
                       const QList<QRect> &freeAreas, const QSize &had);
    // A size the user gave the window since the last fit becomes the size it keeps.
    void keepUsersSize();
    // As it comes onto another screen, having had the size `had` on its own: it keeps that
    // size, or the size it would open at, where that is smaller.
    void comeBack(const QSize &had);
    // Moves the window, its frame included, inside `available` where it sticks out.
    void moveInside(const QRect &available);
    // Moves the window so that its frame's top left is at `place`.
    void moveFrameTo(const QPoint &place);
    bool isSizedByTheWindowManager() const;
    // Whether a screen it shows on now is given its first size: until the window manager has
    // placed it, a moment after it was first drawn.
    bool takesFirstSize() const;
    QSize leastSize() const;
    // The frame to fit (WindowFit::frameToFit).
    QMargins frameMargins() const;

    // The "New Project..." dialog, of the menu command and the browser's add button; made
    // before the content, which hands it to the browser.
    std::unique_ptr<FileDialogFolderPicker> m_folderPicker;
    ContentView *m_contentView;
    QAction *m_newProjectAction;
    QAction *m_refreshAction;
    AppUpdateService *m_updater = nullptr;
    bool m_followsScreen = false;
    // Screens change together (one goes, the others move): checked once they have.
    QueuedCall m_screenCheck{this, [this] { followScreenChange(); }};
    // Whether the window has been drawn on a screen.
    bool m_isDrawn = false;
    // Runs from the window's first drawing while the window manager may still be placing it,
    // for s_placementTime (which tests that place the window themselves lengthen).
    QTimer m_placement;
    static std::chrono::milliseconds s_placementTime;
    // The screen the first size was last fitted for.
    QPointer<QScreen> m_firstSizeScreen;
    // The screen the last check fitted the window to and where that screen was, the screens as
    // it saw them, and the size the window had where its screen went since.
    QPointer<QScreen> m_fittedScreen;
    QPoint m_fittedScreenPlace;
    QList<QRect> m_screensSeen;
    std::optional<QSize> m_sizeOnGoneScreen;
    // What the last fit was for: the free area, and the frame and least size it found; the
    // size it gave the window.
    QRect m_available;
    QMargins m_fittedFrame;
    QSize m_fittedLeastSize;
    QSize m_fittedSize;
    // The size the window takes where there is room.
    QSize m_keptSize{initialWidth, initialHeight};
};

} // namespace tolvaran
