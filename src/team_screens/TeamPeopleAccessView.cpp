#include "team_screens/TeamPeopleAccessView.h"

#include "team/presence/TeamPresenceService.h"
#include "team/server/TeamSettingsStore.h"
#include "team_screens/TeamAccessRules.h"
#include "team_screens/TeamScreenStyle.h"
#include "team_screens/TeamScreenTeam.h"
#include "widgets/BrowserStyle.h"
#include "widgets/PlainText.h"
#include "widgets/StatusDot.h"
#include "widgets/SymbolIconTable.h"
#include "widgets/SystemColors.h"
#include "widgets/screen_fit/DialogFit.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tolvaran {

namespace {

constexpr int dotSize = 9;
constexpr double offlineDotOpacity = 0.45;
// Controls that stay disabled even while no operation runs carry this property as false.
const char *const enabledWhenIdleProperty = "enabledWhenIdle";

bool sameSecurity(const std::optional<TeamSecurityStatus> &a,
                  const std::optional<TeamSecurityStatus> &b)
{
    if (a.has_value() != b.has_value())
        return false;
    return !a
           || (a->legacyKeyEnabled == b->legacyKeyEnabled
               && a->currentDeviceRole == b->currentDeviceRole
               && a->installations == b->installations
               && a->unregisteredRecentMembers == b->unregisteredRecentMembers);
}

bool managesKeys(const TeamSecurityStatus &security)
{
    return security.currentDeviceRole == TeamInstallationRole::owner
           || security.currentDeviceRole == TeamInstallationRole::admin;
}

} // namespace

using namespace TeamScreenStyle;

bool TeamPeopleAccessView::RenderInputs::operator==(const RenderInputs &other) const
{
    return sameSecurity(security, other.security) && people == other.people
           && connectionState == other.connectionState && hasStoredKey == other.hasStoredKey;
}

TeamPeopleAccessView::TeamPeopleAccessView(TeamScreenTeam &team, QWidget *parent)
    : QWidget(parent)
    , m_team(team)
{
    setObjectName(QStringLiteral("teamPeopleAccess"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_rows = new QWidget(this);
    m_rowsLayout = new QVBoxLayout(m_rows);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(0);
    column->addWidget(m_rows);
    m_busy = busyIndicator(this);
    column->addSpacing(10);
    column->addWidget(m_busy);
    m_message = secondaryCaption(this);
    m_message->setObjectName(QStringLiteral("message"));
    m_message->hide();
    column->addWidget(m_message);
    onTeamChange(m_team, this, [this] { render(); });
    render();
}

TeamPeopleAccessView::~TeamPeopleAccessView()
{
    m_call.cancel();
}

void TeamPeopleAccessView::render()
{
    const TeamPresenceService &service = m_team.service();
    RenderInputs inputs{service.securityStatus(), service.connectedPeople(),
                        service.connectionState(), m_team.settings().hasStoredKey()};
    if (m_shownInputs && *m_shownInputs == inputs)
        return;
    rebuildRows(inputs);
    m_shownInputs = std::move(inputs);
}

void TeamPeopleAccessView::rebuildRows(const RenderInputs &inputs)
{
    m_operationControls.clear();
    while (QLayoutItem *item = m_rowsLayout->takeAt(0)) {
        if (QWidget *widget = item->widget()) {
            // Ended later: a rebuild may come from inside one of the old rows' handlers.
            widget->hide();
            widget->setParent(nullptr);
            widget->deleteLater();
        }
        delete item;
    }

    if (!inputs.security) {
        if (inputs.people.isEmpty()) {
            QLabel *waiting = secondaryCaption(
                m_rows, QStringLiteral("Waiting for team access information..."));
            waiting->setFont(font());
            m_rowsLayout->addWidget(waiting);
        }
        for (const TeamConnectedPerson &person : inputs.people)
            addConnectedPersonRow(person);
        renderWorking();
        return;
    }

    const TeamSecurityStatus &security = *inputs.security;
    for (qsizetype index = 0; index < security.installations.size(); ++index) {
        addInstallationRow(security.installations[index], security, inputs);
        if (index + 1 < security.installations.size())
            m_rowsLayout->addWidget(divider(m_rows));
    }
    const QList<TeamConnectedPerson> unregistered =
        TeamAccessRules::unregisteredConnectedPeople(inputs.people, security.installations);
    if (!unregistered.isEmpty() && !security.installations.isEmpty())
        m_rowsLayout->addWidget(divider(m_rows));
    for (const TeamConnectedPerson &person : unregistered)
        addConnectedPersonRow(person);
    if (managesKeys(security))
        addKeySection(security, inputs.hasStoredKey);
    renderWorking();
}

void TeamPeopleAccessView::addInstallationRow(const TeamInstallation &installation,
                                              const TeamSecurityStatus &security,
                                              const RenderInputs &inputs)
{
    const QString &deviceID = m_team.settings().deviceID();
    const bool online =
        TeamAccessRules::isOnline(installation, inputs.people, deviceID, inputs.connectionState);
    const QColor secondary = BrowserStyle::secondaryLabelColor(palette());

    auto *row = new QWidget(m_rows);
    row->setObjectName(QStringLiteral("installationRow"));
    row->setProperty("deviceId", installation.deviceId);
    auto *line = new QHBoxLayout(row);
    line->setContentsMargins(0, 10, 0, 10);
    line->setSpacing(12);
    line->addWidget(new StatusDot(online ? SystemColors::green()
                                         : SystemColors::withAlpha(secondary, offlineDotOpacity),
                                  dotSize, row));
    auto *texts = new QVBoxLayout;
    texts->setSpacing(3);
    auto *nameLine = new QHBoxLayout;
    nameLine->setSpacing(7);
    nameLine->addWidget(plainLabel(BrowserStyle::systemFont(subheadlineSize + 1, QFont::Medium),
                                   row, installation.memberName));
    if (installation.deviceId == deviceID)
        nameLine->addWidget(secondaryCaption(row, QStringLiteral("You")));
    nameLine->addStretch();
    texts->addLayout(nameLine);
    QLabel *detail = secondaryCaption(
        row, TeamAccessRules::installationDetail(installation, online, Timestamp::now()));
    detail->setObjectName(QStringLiteral("installationDetail"));
    texts->addWidget(detail);
    line->addLayout(texts, 1);

    if (const auto person = TeamAccessRules::matchingPerson(installation, inputs.people)) {
        QLabel *activity = secondaryCaption(row, TeamAccessRules::activityText(*person));
        activity->setWordWrap(false);
        line->addWidget(activity);
    }

    if (TeamAccessRules::canManage(installation, security, deviceID)) {
        auto *manage = new QPushButton(row);
        manage->setObjectName(QStringLiteral("manageButton"));
        manage->setIcon(symbolIcon(QStringLiteral("ellipsis.circle")));
        manage->setFlat(true);
        setPlainToolTip(manage, QStringLiteral("Manage ") + installation.memberName);
        manage->setAccessibleName(QStringLiteral("Manage ") + installation.memberName);
        auto *menu = new QMenu(manage);
        const QPointer<TeamPeopleAccessView> view(this);
        if (security.currentDeviceRole == TeamInstallationRole::owner) {
            if (installation.role == TeamInstallationRole::member) {
                menu->addAction(QStringLiteral("Make Admin"), this, [view, installation] {
                    if (view)
                        view->setRole(TeamInstallationRole::admin, installation);
                });
            } else if (installation.role == TeamInstallationRole::admin) {
                menu->addAction(QStringLiteral("Remove Admin Role"), this, [view, installation] {
                    if (view)
                        view->setRole(TeamInstallationRole::member, installation);
                });
                menu->addSeparator();
                menu->addAction(QStringLiteral("Transfer Ownership"), this,
                                [view, installation] {
                                    if (view)
                                        view->askToTransferOwnership(installation);
                                });
            }
        }
        menu->addAction(QStringLiteral("Remove from Team"), this, [view, installation] {
            if (view)
                view->remove(installation);
        });
        manage->setMenu(menu);
        line->addWidget(manage);
        m_operationControls.append(manage);
    }
    m_rowsLayout->addWidget(row);
}

void TeamPeopleAccessView::addConnectedPersonRow(const TeamConnectedPerson &person)
{
    auto *row = new QWidget(m_rows);
    row->setObjectName(QStringLiteral("connectedPersonRow"));
    auto *line = new QHBoxLayout(row);
    line->setContentsMargins(0, 10, 0, 10);
    line->setSpacing(12);
    line->addWidget(new StatusDot(SystemColors::green(), dotSize, row));
    auto *texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(plainLabel(BrowserStyle::systemFont(subheadlineSize + 1, QFont::Medium), row,
                                person.name));
    texts->addWidget(secondaryCaption(row, QStringLiteral("Online \u00B7 Legacy team access")));
    line->addLayout(texts, 1);
    QLabel *activity = secondaryCaption(row, TeamAccessRules::activityText(person));
    activity->setWordWrap(false);
    line->addWidget(activity);
    m_rowsLayout->addWidget(row);
}

void TeamPeopleAccessView::addKeySection(const TeamSecurityStatus &security, bool hasStoredKey)
{
    m_rowsLayout->addSpacing(4);
    m_rowsLayout->addWidget(divider(m_rows));
    m_rowsLayout->addSpacing(4 + 8);
    auto *section = new QWidget(m_rows);
    auto *line = new QHBoxLayout(section);
    line->setContentsMargins(0, 0, 0, 0);
    if (security.legacyKeyEnabled && security.currentDeviceRole == TeamInstallationRole::owner) {
        auto *stack = new QVBoxLayout;
        stack->setSpacing(3);
        QPushButton *upgrade = button(QStringLiteral("Complete Security Upgrade"), section);
        upgrade->setObjectName(QStringLiteral("upgradeButton"));
        upgrade->setProperty(enabledWhenIdleProperty,
                             security.unregisteredRecentMembers.isEmpty());
        connect(upgrade, &QPushButton::clicked, this, &TeamPeopleAccessView::completeUpgrade);
        stack->addWidget(upgrade, 0, Qt::AlignLeft);
        m_operationControls.append(upgrade);
        if (!security.unregisteredRecentMembers.isEmpty()) {
            QLabel *waiting = secondaryCaption(
                section, QStringLiteral("Waiting for: ")
                             + security.unregisteredRecentMembers.join(QStringLiteral(", ")));
            waiting->setObjectName(QStringLiteral("waitingFor"));
            stack->addWidget(waiting);
        }
        line->addLayout(stack);
    } else {
        QPushButton *rotate = button(hasStoredKey ? QStringLiteral("Rotate Team Key")
                                                  : QStringLiteral("Create New Team Key"),
                                     section);
        rotate->setObjectName(QStringLiteral("rotateButton"));
        connect(rotate, &QPushButton::clicked, this, &TeamPeopleAccessView::rotateKey);
        line->addWidget(rotate);
        m_operationControls.append(rotate);
    }
    line->addStretch();
    m_rowsLayout->addWidget(section);
}

void TeamPeopleAccessView::renderWorking()
{
    for (const QPointer<QWidget> &control : std::as_const(m_operationControls)) {
        if (!control)
            continue;
        const QVariant idle = control->property(enabledWhenIdleProperty);
        control->setEnabled(!m_isWorking && (!idle.isValid() || idle.toBool()));
    }
    m_busy->setVisible(m_isWorking);
    if (m_errorMessage)
        showMessage(m_message, *m_errorMessage, true);
    else
        showMessage(m_message, m_statusMessage.value_or(QString()), false);
}

void TeamPeopleAccessView::perform(const QString &successText, const Starter &start)
{
    if (m_isWorking)
        return;
    m_isWorking = true;
    m_errorMessage.reset();
    m_statusMessage.reset();
    renderWorking();
    m_call = start(this, [this, successText](const TeamCallCompletion &result) {
        if (result)
            m_statusMessage = successText;
        else
            m_errorMessage = result.error().message();
        m_isWorking = false;
        renderWorking();
    });
}

void TeamPeopleAccessView::completeUpgrade()
{
    perform(QStringLiteral("Security upgrade complete. A new team key is ready to share."),
            [this](QObject *context, TeamServerClient::Done done) {
                return m_team.service().completeSecurityUpgrade(context, std::move(done));
            });
}

void TeamPeopleAccessView::rotateKey()
{
    perform(QStringLiteral("Team key rotated."),
            [this](QObject *context, TeamServerClient::Done done) {
                return m_team.service().rotateInviteKey(context, std::move(done));
            });
}

void TeamPeopleAccessView::setRole(TeamInstallationRole role,
                                   const TeamInstallation &installation)
{
    const QString text = installation.memberName
                         + (role == TeamInstallationRole::admin
                                ? QStringLiteral(" is now an admin.")
                                : QStringLiteral(" is now a member."));
    perform(text, [this, role, deviceID = installation.deviceId](QObject *context,
                                                                 TeamServerClient::Done done) {
        return m_team.service().setInstallationRole(role, deviceID, context, std::move(done));
    });
}

void TeamPeopleAccessView::remove(const TeamInstallation &installation)
{
    perform(QStringLiteral("Installation removed and team key rotated."),
            [this, deviceID = installation.deviceId](QObject *context,
                                                     TeamServerClient::Done done) {
                return m_team.service().removeInstallation(deviceID, context, std::move(done));
            });
}

void TeamPeopleAccessView::askToTransferOwnership(const TeamInstallation &installation)
{
    if (m_transferAlert)
        m_transferAlert->close();
    auto *alert = new QMessageBox(this);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setObjectName(QStringLiteral("transferAlert"));
    alert->setTextFormat(Qt::PlainText);
    alert->setText(QStringLiteral("Transfer ownership to ") + installation.memberName
                   + QLatin1Char('?'));
    QPushButton *transfer =
        alert->addButton(QStringLiteral("Transfer Ownership"), QMessageBox::DestructiveRole);
    alert->addButton(QMessageBox::Cancel);
    alert->setDefaultButton(QMessageBox::Cancel);
    const QPointer<TeamPeopleAccessView> view(this);
    connect(transfer, &QPushButton::clicked, this, [view, installation] {
        if (view)
            view->transferOwnership(installation);
    });
    m_transferAlert = alert;
    DialogFit::follow(alert);
    alert->open();
}

void TeamPeopleAccessView::transferOwnership(const TeamInstallation &installation)
{
    perform(QStringLiteral("Ownership transferred to ") + installation.memberName
                + QLatin1Char('.'),
            [this, deviceID = installation.deviceId](QObject *context,
                                                     TeamServerClient::Done done) {
                return m_team.service().transferOwnership(deviceID, context, std::move(done));
            });
}

bool TeamPeopleAccessView::cancelRunningCall()
{
    if (!m_isWorking)
        return false;
    m_call.cancel(); // the completion reports the cancellation
    return true;
}

} // namespace tolvaran
