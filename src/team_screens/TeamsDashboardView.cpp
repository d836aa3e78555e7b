#include "team_screens/TeamsDashboardView.h"

#include "team/presence/TeamPresenceService.h"
#include "team/server/TeamSettingsStore.h"
#include "team_screens/TeamConnectionPresentation.h"
#include "team_screens/TeamInlineSettingsView.h"
#include "team_screens/TeamListSplit.h"
#include "team_screens/TeamMembershipFacts.h"
#include "team_screens/TeamPeopleAccessView.h"
#include "team_screens/TeamScreenStyle.h"
#include "team_screens/TeamScreenTeam.h"
#include "team_screens/TeamScreenWorkspace.h"
#include "team_screens/TeamSettingsView.h"
#include "widgets/AccessibleRole.h"
#include "widgets/BrowserStyle.h"
#include "widgets/ClosureButton.h"
#include "widgets/ElidingLabel.h"
#include "widgets/FontScale.h"
#include "widgets/PlainText.h"
#include "widgets/SymbolIconTable.h"
#include "widgets/SystemColors.h"
#include "widgets/screen_fit/DialogFit.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QKeyEvent>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace tolvaran {

namespace {

constexpr int teamDotSize = 8;

const QString leaveMessage = QStringLiteral(
    "This gives up this device seat and removes the team connection and credentials from this "
    "computer.");
const QString deleteMessage = QStringLiteral(
    "This deletes the team on the team server for every device and removes the team "
    "connection and credentials from this computer.");

QPixmap dot(const QColor &color, int size)
{
    return tintedSymbolIcon(QStringLiteral("circle.fill"), color).pixmap(size, size);
}

} // namespace

using namespace TeamScreenStyle;

TeamsDashboardView::TeamsDashboardView(TeamScreenWorkspace &workspace,
                                       std::function<void()> onClose, QWidget *parent)
    : QWidget(parent)
    , m_workspace(workspace)
    , m_onClose(std::move(onClose))
{
    setObjectName(QStringLiteral("teamsDashboard"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *header = new QWidget(this);
    auto *headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(20, 14, 20, 14);
    headerRow->setSpacing(12);
    ClosureButton *back = ClosureButton::symbol(QStringLiteral("chevron.left"),
                                                QStringLiteral("Back to projects"), header);
    back->setObjectName(QStringLiteral("backButton"));
    back->setHandler([view = QPointer(this)] {
        if (view)
            view->close();
    });
    headerRow->addWidget(back);
    auto *titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(plainLabel(BrowserStyle::systemFont(title2Size, QFont::DemiBold), header,
                                 QStringLiteral("Teams")));
    // It wraps on a narrow window.
    titles->addWidget(secondaryCaption(
        header, QStringLiteral("Connections stay active regardless of the Projects filter.")));
    headerRow->addLayout(titles, 1);
    headerRow->addStretch();
    m_addTeamButton = button(QStringLiteral("Add Team"), header, QStringLiteral("plus"));
    m_addTeamButton->setObjectName(QStringLiteral("addTeamButton"));
    connect(m_addTeamButton, &QPushButton::clicked, this, &TeamsDashboardView::addTeam);
    headerRow->addWidget(m_addTeamButton);
    layout->addWidget(header);
    layout->addWidget(divider(this));

    auto *left = new QWidget(this);
    BrowserStyle::setBackgroundColor(left, SystemColors::controlBackground(palette()));
    FontScale::follow(left, [this] {
        // The rows are measured for their text: measured again.
        m_listedTeamRows.clear();
        if (m_teamList)
            renderTeamList();
    });
    auto *leftColumn = new QVBoxLayout(left);
    leftColumn->setContentsMargins(0, 12, 0, 0);
    leftColumn->setSpacing(8);
    QLabel *heading = plainLabel(BrowserStyle::systemFont(caption2Size, QFont::DemiBold), left,
                                 QStringLiteral("YOUR TEAMS"));
    heading->setContentsMargins(12, 0, 12, 0);
    BrowserStyle::setTextColor(heading, BrowserStyle::secondaryLabelColor(palette()));
    leftColumn->addWidget(heading);
    m_teamList = new QListWidget(left);
    m_teamList->setObjectName(QStringLiteral("teamList"));
    m_teamList->setFrameShape(QFrame::NoFrame);
    m_teamList->setAccessibleName(QStringLiteral("Your Teams"));
    AccessibleRole::keepCurrentItemOnlyWhileFocused(m_teamList);
    // Tab steps from team to team (choosing each), then on to the overview: the list works
    // without the arrow keys.
    m_teamList->setTabKeyNavigation(true);
    connect(m_teamList, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem *current) {
                if (current)
                    m_workspace.selectManagementTeam(current->data(Qt::UserRole).toString());
            });
    connect(m_teamList, &QListWidget::itemSelectionChanged, this,
            &TeamsDashboardView::colorTeamRows);
    leftColumn->addWidget(m_teamList, 1);

    m_rightPane = new QStackedWidget(this);
    m_placeholder = new QWidget(m_rightPane);
    auto *placeholderColumn = new QVBoxLayout(m_placeholder);
    placeholderColumn->addStretch();
    placeholderColumn->addWidget(symbolLabel(QStringLiteral("person.2"), largeTitleSize,
                                             m_placeholder,
                                             BrowserStyle::secondaryLabelColor(palette())),
                                 0, Qt::AlignHCenter);
    placeholderColumn->addSpacing(10);
    QLabel *noTeam = plainLabel(BrowserStyle::systemFont(headlineSize, QFont::DemiBold),
                                m_placeholder, QStringLiteral("No Team Selected"));
    noTeam->setObjectName(QStringLiteral("noTeamSelected"));
    placeholderColumn->addWidget(noTeam, 0, Qt::AlignHCenter);
    placeholderColumn->addStretch();
    m_rightPane->addWidget(m_placeholder);
    m_split = new TeamListSplit(left, m_teamList, m_rightPane, this);
    layout->addWidget(m_split, 1);

    connect(&m_workspace, &TeamScreenWorkspace::changed, this,
            &TeamsDashboardView::scheduleRender);
    render();
}

TeamsDashboardView::~TeamsDashboardView()
{
    m_removalCall.cancel();
    // A profile begun and never committed must not outlive the screen that began it.
    if (m_editingTeam) {
        TeamScreenTeam *pending = m_editingTeam;
        m_editingTeam.clear();
        delete m_joinSheet.data(); // its save, if any, is cancelled first
        m_workspace.discardAddedTeam(pending);
    }
}

TeamSettingsView *TeamsDashboardView::joinSheet() const
{
    return m_joinSheet;
}

TeamInlineSettingsView *TeamsDashboardView::inlineSettings() const
{
    return m_inlineSettings;
}

TeamPeopleAccessView *TeamsDashboardView::peopleAccess() const
{
    return m_peopleAccess;
}

void TeamsDashboardView::close()
{
    if (m_onClose)
        m_onClose();
}

void TeamsDashboardView::keyPressEvent(QKeyEvent *event)
{
    // Reaches here from any widget of the screen that leaves Escape alone; the sheet and the
    // alerts are windows of their own and handle their Escape themselves.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cancelOrClose();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TeamsDashboardView::cancelOrClose()
{
    if (m_isTeamOperationRunning) {
        m_removalCall.cancel();
        return;
    }
    if (m_inlineSettings && m_inlineSettings->cancelRunningCall())
        return;
    if (m_peopleAccess && m_peopleAccess->cancelRunningCall())
        return;
    close();
}

void TeamsDashboardView::selectTab(TeamDashboardTab tab)
{
    m_selectedTab = tab;
    render();
}

void TeamsDashboardView::scheduleRender()
{
    m_renderCall.schedule();
}

void TeamsDashboardView::render()
{
    renderTeamList();
    TeamScreenTeam *team = m_workspace.selectedManagementTeam();
    if (!team) {
        m_rightPane->setCurrentWidget(m_placeholder);
        if (m_overview) {
            m_rightPane->removeWidget(m_overview);
            m_overview->setParent(nullptr);
            m_overview->deleteLater();
            m_overview = nullptr;
        }
        m_shownTeam.clear();
        return;
    }
    if (team != m_shownTeam || !m_overview)
        rebuildOverview(team);
    renderOverview(team);
}

void TeamsDashboardView::renderTeamList()
{
    const QList<TeamScreenTeam *> teams = m_workspace.teams();
    QStringList rows;
    for (const TeamScreenTeam *team : teams) {
        const TeamPresenceService &service = team->service();
        rows << team->id() + QChar(0) + service.teamName() + QChar(0)
                    + TeamConnectionPresentation::label(service.connectionState());
    }
    const QString selectedID = m_workspace.selectedManagementTeamID();
    QSignalBlocker blocker(m_teamList);
    if (rows != m_listedTeamRows) {
        m_listedTeamRows = rows;
        m_teamList->clear();
        for (const TeamScreenTeam *team : teams) {
            const TeamConnectionState &state = team->service().connectionState();
            auto *item = new QListWidgetItem(m_teamList);
            item->setData(Qt::UserRole, team->id());
            auto *row = new QWidget(m_teamList);
            auto *line = new QHBoxLayout(row);
            line->setContentsMargins(10, 5, 10, 5);
            line->setSpacing(9);
            auto *dotLabel = new QLabel(row);
            dotLabel->setPixmap(
                dot(TeamConnectionPresentation::dashboardColor(state, palette()), teamDotSize));
            line->addWidget(dotLabel);
            auto *texts = new QVBoxLayout;
            texts->setSpacing(2);
            auto *name = new ElidingLabel(row);
            name->setObjectName(QStringLiteral("teamName"));
            name->setText(team->service().teamName());
            texts->addWidget(name);
            QLabel *connection = secondaryCaption(row, TeamConnectionPresentation::label(state));
            connection->setObjectName(QStringLiteral("teamConnection"));
            connection->setWordWrap(false);
            texts->addWidget(connection);
            line->addLayout(texts, 1);
            item->setSizeHint(row->sizeHint());
            item->setData(Qt::AccessibleTextRole, team->service().teamName());
            m_teamList->setItemWidget(item, row);
        }
    }
    int selectedRow = -1;
    for (int index = 0; index < m_teamList->count(); ++index) {
        if (m_teamList->item(index)->data(Qt::UserRole).toString() == selectedID)
            selectedRow = index;
    }
    m_teamList->setCurrentRow(selectedRow);
    colorTeamRows();
    if (m_split)
        m_split->arrange();
}

void TeamsDashboardView::colorTeamRows()
{
    // The rows' texts are widgets over the list's own drawing of the selection: on the
    // selected row they take the colours that stay legible on the highlight.
    for (int index = 0; index < m_teamList->count(); ++index) {
        QListWidgetItem *item = m_teamList->item(index);
        QWidget *row = m_teamList->itemWidget(item);
        auto *name = row->findChild<QWidget *>(QStringLiteral("teamName"));
        auto *connection = row->findChild<QWidget *>(QStringLiteral("teamConnection"));
        if (item->isSelected()) {
            BrowserStyle::setTextColorOnSelection(name, false);
            BrowserStyle::setTextColorOnSelection(connection, true);
        } else {
            name->setPalette(QPalette());
            BrowserStyle::setTextColor(connection, BrowserStyle::secondaryLabelColor(palette()));
        }
    }
}

void TeamsDashboardView::addTeam()
{
    if (m_joinSheet)
        return;
    TeamScreenTeam *team = m_workspace.beginAddingTeam();
    if (!team)
        return;
    m_editingTeam = team;
    // The sheet is the screen's child and calls back only from its own handlers, so the
    // screen is always there for its callbacks.
    auto *sheet = new TeamSettingsView(
        *team, [this] { joinSheetClosed(); }, [this] { joinSheetSaved(); }, this);
    sheet->setMembershipCheck([this, team](const QString &key,
                                           const QList<TeamInstallation> &installations) {
        const QList<TeamScreenTeam *> listed = m_workspace.teams();
        return std::any_of(listed.cbegin(), listed.cend(), [&](const TeamScreenTeam *other) {
            return other != team && other->settings().isMembershipOf(key, installations);
        });
    });
    sheet->setWindowModality(Qt::WindowModal);
    m_joinSheet = sheet;
    sheet->open();
}

void TeamsDashboardView::joinSheetSaved()
{
    // Lists the team when it holds a membership; the close that follows then keeps it.
    if (m_editingTeam)
        m_workspace.commitAddedTeam(m_editingTeam);
}

void TeamsDashboardView::joinSheetClosed()
{
    if (m_editingTeam)
        m_workspace.discardAddedTeam(m_editingTeam);
    m_editingTeam.clear();
    if (m_joinSheet)
        m_joinSheet->deleteLater();
    m_joinSheet.clear();
    // Left alone, the screen's focus would go back to where it was before the sheet opened,
    // which a button pressed by assistive technology's action never took. Given while the
    // sheet is still the active window, it shows once the screen is active again.
    if (m_addTeamButton->isVisible())
        m_addTeamButton->setFocus(Qt::OtherFocusReason);
}

void TeamsDashboardView::askToRemove(TeamScreenTeam *team)
{
    if (!team || m_removalAlert)
        return;
    const TeamMembershipFacts facts =
        TeamMembershipFacts::of(team->settings(), team->service().securityStatus());
    const bool deletes = facts.removalDeletesTeam();
    auto *alert = new QMessageBox(this);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setObjectName(QStringLiteral("removalAlert"));
    alert->setIcon(QMessageBox::Warning);
    alert->setText(deletes ? QStringLiteral("Delete this team?")
                           : QStringLiteral("Leave this team?"));
    alert->setInformativeText(deletes ? deleteMessage : leaveMessage);
    QPushButton *confirm = alert->addButton(
        deletes ? QStringLiteral("Delete Team") : QStringLiteral("Leave Team"),
        QMessageBox::DestructiveRole);
    alert->addButton(QMessageBox::Cancel);
    alert->setDefaultButton(QMessageBox::Cancel);
    const QPointer<TeamScreenTeam> pending(team);
    connect(confirm, &QPushButton::clicked, this, [this, pending] {
        if (pending)
            removeTeam(pending);
    });
    m_removalAlert = alert;
    DialogFit::follow(alert);
    alert->open();
}

void TeamsDashboardView::removeTeam(TeamScreenTeam *team)
{
    if (!team || m_isTeamOperationRunning)
        return;
    const TeamMembershipFacts facts =
        TeamMembershipFacts::of(team->settings(), team->service().securityStatus());
    m_isTeamOperationRunning = true;
    render();
    const QString teamID = team->id();
    // A service that goes while its call runs never completes it: the screen must not stay
    // busy for ever.
    m_removalServiceGone = connect(&team->service(), &QObject::destroyed, this, [this] {
        m_isTeamOperationRunning = false;
        scheduleRender();
    });
    auto done = [this, teamID](const TeamCallCompletion &result) {
        disconnect(m_removalServiceGone);
        m_isTeamOperationRunning = false;
        if (!result) {
            if (!result.error().isCancelled()) {
                m_teamOperationError = result.error().message();
                showFailureAlert();
            }
            render();
            return;
        }
        m_workspace.removeTeam(teamID);
        if (!m_workspace.hasTeamMemberships()) {
            close();
            return;
        }
        render();
    };
    m_removalCall = facts.removalDeletesTeam() ? team->service().deleteTeam(this, done)
                                               : team->service().leaveTeam(this, done);
}

void TeamsDashboardView::showFailureAlert()
{
    if (m_failureAlert)
        m_failureAlert->close();
    auto *alert = new QMessageBox(this);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setObjectName(QStringLiteral("failureAlert"));
    alert->setIcon(QMessageBox::Warning);
    alert->setTextFormat(Qt::PlainText);
    alert->setText(QStringLiteral("Could Not Update Team"));
    // The server's sentence is shown as it came, never read as markup.
    alert->setInformativeText(
        plainToolTip(m_teamOperationError.value_or(QStringLiteral("The team operation failed."))));
    alert->addButton(QMessageBox::Ok);
    connect(alert, &QMessageBox::finished, this, [this] { m_teamOperationError.reset(); });
    m_failureAlert = alert;
    DialogFit::follow(alert);
    alert->open();
}

} // namespace tolvaran
