#pragma once

#include "app/cards/BrowserCardModel.h"
#include "widgets/ClosureButton.h"
#include "app/cards/ProjectCardActions.h"

#include <QColor>
#include <QWidget>

#include <optional>

class QPushButton;

namespace tolvaran {

class ElidingLabel;
class WrappingRowLayout;

// One project card of the browser's grid. It holds no logic of its own: it draws one
// BrowserCardModel and hands every gesture to one function of its ProjectCardActions. The
// grid reuses cards for whatever project it assigns them, and every configure() redraws all
// of the card from the new model, so nothing of a previous project survives. Until the first
// configure() the labels are empty and every control does nothing.
class ProjectCardView final : public QWidget
{
    Q_OBJECT

public:
    // How the frame is drawn: a rounded rectangle filled and outlined.
    struct FrameAppearance
    {
        QColor background;
        QColor border;
        double borderWidth = 0.5;
    };

    static constexpr int cornerRadius = 8;
    // Teams named on the card at most; further ones are left out.
    static constexpr int shownTeamNameLimit = 2;
    // Changed files named in the work line; further ones are counted.
    static constexpr int shownChangedFileLimit = 3;
    // The weekly share from which the badge turns orange, and red.
    static constexpr double weeklyShareWarning = 0.05;
    static constexpr double weeklyShareAlarm = 0.10;

    explicit ProjectCardView(QWidget *parent = nullptr);

    // Stores the model and the actions and redraws every part of the card.
    void configure(const BrowserCardModel &model, const ProjectCardActions &actions);

    // Writes the relative time of the metrics line ("5 min. ago") again, for the time now.
    void refreshRelativeTimes();

    const std::optional<BrowserCardModel> &model() const { return m_model; }
    // The height the card needs at `width` for all it shows (its status items may take more
    // than one line).
    int requiredHeight(int width) const;
    const FrameAppearance &frameAppearance() const { return m_frame; }
    QPushButton *detailsButton() const { return m_detailsButton; }

    // The gestures, as the controls call them (also reachable for keyboard and tests).
    // Segment 0 opens the last chat; segment 1 pops up the recent-chat menu.
    void lastChatSegmentChanged(int segment);
    // Opens the rename prompt (window-modal); confirming it calls renameProject.
    void promptToRenameProject();
    // Pops up the tag menu under the tag button.
    void showTagMenu();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void build();
    // The status items: every one is shown whole, on further lines where one does not hold
    // them.
    void rebuildStatus(const BrowserCardModel &model);
    void configureWork(const BrowserCardModel &model);
    void configureAppearance(const BrowserCardModel &model);
    // Names the card and each of its controls after the project, for assistive technology:
    // every card offers the same buttons, which would otherwise read alike.
    void nameControls(const BrowserCardModel &model);
    // A button handler that runs `gesture` on the card while the card exists.
    ClosureButton::Handler weakly(const std::function<void(ProjectCardView &)> &gesture);
    // A button handler that calls one of the stored actions.
    ClosureButton::Handler actionHandler(std::function<void()> ProjectCardActions::*member);
    void call(std::function<void()> ProjectCardActions::*member) const;

    ElidingLabel *m_nameLabel;
    ClosureButton *m_renameButton;
    ElidingLabel *m_pathLabel;
    ClosureButton *m_tagButton;
    QPushButton *m_detailsButton;
    ClosureButton *m_pinButton;
    QWidget *m_statusStack;
    WrappingRowLayout *m_statusLayout;
    // The strip's two chips, shown while the project has unread or processing chats.
    ClosureButton *m_unreadChip;
    ClosureButton *m_processingChip;
    ElidingLabel *m_metricsLabel;
    ElidingLabel *m_workLabel;
    ElidingLabel *m_filesLabel;
    QWidget *m_lastChatControl;
    ClosureButton *m_lastChatSegment;
    ClosureButton *m_recentChatsSegment;
    ClosureButton *m_finderButton;
    ClosureButton *m_terminalButton;
    std::optional<BrowserCardModel> m_model;
    std::optional<ProjectCardActions> m_actions;
    FrameAppearance m_frame;
};

} // namespace tolvaran
