#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>

#include <optional>

class QDialog;
class QFrame;
class QHBoxLayout;
class QWidget;

namespace tolvaran {

class ProjectListViewModel;
class TagSidebar;

// The tag sidebar in the browser: where it stands, what it shows and what its requests do.
// Wide, it is docked at the left of the browser's row with its divider; narrow, it floats
// over the content with a shadow, takes the focus from a control it covers, keeps Tab among
// its own controls (focusChain) and Escape from any of them hides it; hidden, it is out of
// the view tree (and this object deletes it). When it goes while it holds the focus,
// the focus returns to the control that showed it, else to the toggle; a tag's rename and
// delete prompts give it back to the tag's "Tag actions" button. Each render hands it the
// coordinator's tags and counts; its requests become the coordinator's tag operations, and a
// refused tag name is shown below the field it came from.
class TagSidebarHost final : public QObject
{
    Q_OBJECT

public:
    enum class Placement { docked, floating, hidden };

    // `browser` is the widget whose row `rootRow` is, and the sidebar's parent while shown.
    // The browser deletes this object first in its destructor, while the sidebar still exists
    // whichever parent it has.
    TagSidebarHost(ProjectListViewModel &viewModel, QWidget &browser, QHBoxLayout &rootRow,
                   int sidebarWidth, int dockingWidth);
    ~TagSidebarHost() override;

    TagSidebar *sidebar() const { return m_sidebar; }
    // The control that shows and hides the sidebar.
    void setToggle(QWidget *toggle) { m_toggle = toggle; }
    QFrame *divider() const { return m_divider; }
    Placement placement() const;

    // Places the sidebar after the coordinator's visibility and the browser's width.
    void updatePlacement();
    // The stops Tab goes through while the sidebar floats over the cards: its own alone.
    // Docked or hidden, none: Tab follows the browser's chain.
    std::optional<QList<QWidget *>> focusChain() const;
    // Shows the coordinator's tags, their counts and the selection, and a tag error that no
    // request of the sidebar saw (a save that failed in the background).
    void render();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placeFloating();
    // Moves the focus into the floating sidebar from a control of the browser it covers.
    void takeCoveredFocus();
    void returnFocus();
    void addTag(const QString &name);
    void renameTag(const QUuid &tagID);
    void deleteTag(const QUuid &tagID);
    // When `prompt`, opened from the tag's "Tag actions" button, closes (however it closes),
    // the focus goes back to that button.
    void returnFocusWhenClosed(QDialog *prompt, const QUuid &tagID);

    ProjectListViewModel &m_viewModel;
    QWidget &m_browser;
    QHBoxLayout &m_rootRow;
    const int m_sidebarWidth;
    const int m_dockingWidth;
    TagSidebar *m_sidebar;
    QFrame *m_divider = nullptr;
    bool m_floating = false;
    QPointer<QWidget> m_toggle;
    // The control that held the focus when the sidebar was last shown.
    QPointer<QWidget> m_opener;
    // The coordinator's tag error as the last render or request saw it.
    std::optional<QString> m_lastTagError;
};

} // namespace tolvaran
