// The team workspace's change signals: each fires once its answer is readable, once per
// change, and never for a change that leaves its answer as it was.
#include "TeamWorkspaceSharedProject.h"

#include "support/QtPrinters.h"

#include <QMetaObject>

#include <algorithm>
#include <functional>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

using State = TeamConnectionState;

QString describe(State::Case state)
{
    return QString::number(int(state));
}

QString describe(const QList<TeamWorkspaceTeam> &teams)
{
    QStringList ids;
    for (const TeamWorkspaceTeam &team : teams)
        ids.append(team.id + QLatin1Char('=') + team.name);
    return ids.join(QLatin1Char(','));
}

QString describe(const QList<TeamCommitEvent> &events)
{
    QStringList ids;
    for (const TeamCommitEvent &event : events)
        ids.append(event.id);
    return ids.join(QLatin1Char(','));
}

// Every change signal of the workspace as it arrives, with what the workspace answered at
// that moment (for the per-project signals, about appPath).
class Announcements
{
public:
    explicit Announcements(TeamWorkspaceStore &store)
        : m_store(store)
    {
        const TeamWorkspaceStore *s = &store;
        follow(&TeamWorkspaceService::enabledTeamsChanged, "enabledTeams",
               [s] { return describe(s->enabledTeams()); });
        follow(&TeamWorkspaceService::teamNameChanged, "teamName",
               [s] { return s->teamName(); });
        follow(&TeamWorkspaceService::connectionStateChanged, "connectionState",
               [s] { return describe(s->connectionState().state); });
        follow(&TeamWorkspaceService::hasTeamMembershipsChanged, "hasTeamMemberships",
               [s] { return QString::number(s->hasTeamMemberships()); });
        follow(&TeamWorkspaceService::commitNotificationsChanged, "commitNotifications",
               [s] { return describe(s->commitNotifications()); });
        follow(&TeamWorkspaceService::sharedProjectsChanged, "sharedProjects",
               [s] { return s->teamNames(appPath).join(QLatin1Char(',')); });
        follow(&TeamWorkspaceService::projectSummariesChanged, "projectSummaries", [s] {
            return QString::number(s->summary(appPath) ? s->summary(appPath)->peers.size() : 0);
        });
        follow(&TeamWorkspaceService::usageSummariesChanged, "usageSummaries", [s] {
            const auto usage = s->usageSummary(appPath);
            return QString::number(usage ? usage->members.size() : 0);
        });
        follow(&TeamWorkspaceService::localActivityChanged, "localActivity", [s] {
            return QString::number(s->localActivity(appPath).has_value());
        });
        QObject::connect(&store, &TeamWorkspaceStore::teamChanged, &m_context,
                         [this](const QString &id) { changedTeams.append(id); });
    }

    // The names of the signals that arrived, sorted: the order among them is no promise.
    QStringList names() const
    {
        QStringList names = m_answers.keys();
        for (auto it = m_answers.cbegin(); it != m_answers.cend(); ++it) {
            for (qsizetype extra = 1; extra < it->size(); ++extra)
                names.append(it.key());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    // What the workspace answered when `name` last arrived.
    QString answerAt(const QString &name) const
    {
        const QStringList answers = m_answers.value(name);
        return answers.isEmpty() ? QString() : answers.last();
    }
    // What the workspace answers now, in the form answerAt() records.
    QString answerNow(const QString &name) const { return m_readers.value(name)(); }

    void clear()
    {
        m_answers.clear();
        changedTeams.clear();
    }

    // Runs every event posted to the workspace so far (the teams' changes reach it queued).
    bool flush() const
    {
        bool flushed = false;
        QMetaObject::invokeMethod(
            &m_store, [&flushed] { flushed = true; }, Qt::QueuedConnection);
        return waitUntil([&flushed] { return flushed; });
    }

    QStringList changedTeams;

private:
    template<typename Signal>
    void follow(Signal signal, const char *name, std::function<QString()> read)
    {
        const QString key = QString::fromLatin1(name);
        m_readers.insert(key, read);
        QObject::connect(&m_store, signal, &m_context,
                         [this, key, read] { m_answers[key].append(read()); });
    }

    TeamWorkspaceStore &m_store;
    QObject m_context;
    QHash<QString, std::function<QString()>> m_readers;
    QHash<QString, QStringList> m_answers;
};

// Each signal that arrived carried the answer the workspace still gives.
void expectReadableAnswers(const Announcements &announced)
{
    for (const QString &name : announced.names())
        EXPECT_EQ(announced.answerAt(name), announced.answerNow(name)) << name.toStdString();
}

using TeamWorkspaceChanges = TeamWorkspaceWorld;

TEST_F(TeamWorkspaceChanges, addingRemovingAndSelectingTeamsAnnounceWhatTheyAlter)
{
    TeamWorkspaceStore &store = open();
    Announcements announced(store);
    const std::shared_ptr<TeamWorkspace> added = store.beginAddingTeam();
    EXPECT_TRUE(announced.names().isEmpty()) << "a pending team is none of the workspace's";

    // At once, as the workspace makes these changes itself. Switched on alone, the team is no
    // membership, and it shares nothing.
    store.commitAddedTeam(added);
    EXPECT_EQ(announced.names(),
              (QStringList{"connectionState", "enabledTeams", "teamName"}));
    expectReadableAnswers(announced);
    EXPECT_EQ(announced.answerAt("connectionState"), describe(State::Case::connecting));

    announced.clear();
    store.selectManagementTeam(TeamSettingsStore::legacyProfileID);
    ASSERT_TRUE(announced.flush());
    EXPECT_TRUE(announced.names().isEmpty()) << "the selection is none of these answers";

    // A team's own change reaches the workspace a turn later.
    added->settings().save(teamKeys::alpha);
    EXPECT_TRUE(announced.names().isEmpty());
    ASSERT_TRUE(announced.flush());
    EXPECT_EQ(announced.names(), QStringList{"hasTeamMemberships"});
    EXPECT_EQ(announced.answerAt("hasTeamMemberships"), "1");
    EXPECT_TRUE(announced.changedTeams.contains(added->id()));

    announced.clear();
    store.removeTeam(added->id());
    EXPECT_EQ(announced.names(), (QStringList{"connectionState", "enabledTeams",
                                              "hasTeamMemberships", "teamName"}));
    expectReadableAnswers(announced);
    EXPECT_EQ(announced.answerAt("teamName"), TeamWorkspaceStore::noTeamName);
}

TEST_F(TeamWorkspaceChanges, changesThatAlterNoAnswerAnnounceNothing)
{
    // The legacy team switched off; two teams on, each with a key.
    const QString second = newProfileID();
    const QString third = newProfileID();
    storeProfile(second, {.enabled = true, .key = true});
    storeProfile(third, {.enabled = true, .key = true});
    storeProfileList({second, third});
    TeamWorkspaceStore &store = open();
    TeamWorkspace &legacy = *store.teams().at(0);
    TeamWorkspace &team = *store.teams().at(1);
    Announcements announced(store);

    const struct
    {
        const char *name;
        std::function<void()> change;
        bool reachesATeam;
    } rows[] = {
        {"a member name", [&] { team.settings().setMemberName(QStringLiteral("Grace")); }, true},
        {"the name of a team switched off",
         [&] { legacy.settings().setTeamName(QStringLiteral("Old")); }, true},
        {"a key beside the keys of other teams", [&] { legacy.settings().save(teamKeys::beta); },
         true},
        {"the token usage handed over",
         [&] {
             TokenUsageSnapshot usage = TokenUsageSnapshot::empty();
             usage.global.lifetimeTokens = 1234;
             store.updateTokenUsage(usage);
         },
         false},
        {"an unknown notice dismissed",
         [&] { store.dismissCommitNotification(commit(QStringLiteral("none"), 1)); }, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        announced.clear();
        row.change();
        ASSERT_TRUE(announced.flush());
        EXPECT_TRUE(announced.names().isEmpty()) << announced.names().join(' ').toStdString();
        EXPECT_EQ(!announced.changedTeams.isEmpty(), row.reachesATeam);
    }
}

// The three teams, connected, with every first change of theirs announced.
class TeamWorkspaceSharedChanges : public TeamWorkspaceSharedProject
{
protected:
    void SetUp() override
    {
        TeamWorkspaceSharedProject::SetUp();
        ASSERT_TRUE(waitUntil([this] {
            return workspace->connectionState().state == State::Case::connected
                   && workspace->localActivity(appPath).has_value();
        }));
        announcements = std::make_unique<Announcements>(*workspace);
        ASSERT_TRUE(announcements->flush());
        announcements->clear();
    }

    std::unique_ptr<Announcements> announcements;
};

TEST_F(TeamWorkspaceSharedChanges, aTeamSwitchedOffAnnouncesTheAnswersItHeld)
{
    TeamWorkspaceStore &store = *workspace;
    Announcements &announced = *announcements;
    team(1).settings().setEnabled(false);
    EXPECT_TRUE(announced.names().isEmpty()) << "a team's change reaches the workspace later";
    ASSERT_TRUE(announced.flush());

    // The connection stays connected, and the other teams publish the same activity.
    EXPECT_EQ(announced.names(), (QStringList{"enabledTeams", "projectSummaries",
                                              "sharedProjects", "teamName", "usageSummaries"}));
    expectReadableAnswers(announced);
    EXPECT_EQ(announced.answerAt("sharedProjects"), "Alpha,Gamma");
    EXPECT_EQ(announced.answerAt("projectSummaries"), "2");
    EXPECT_EQ(store.teamName(), QStringLiteral("2 teams"));

    // The last teams switched off take the connection and the activity with them.
    announced.clear();
    team(2).settings().setEnabled(false);
    team(3).settings().setEnabled(false);
    ASSERT_TRUE(announced.flush());
    EXPECT_EQ(announced.names(),
              (QStringList{"connectionState", "enabledTeams", "localActivity", "projectSummaries",
                           "sharedProjects", "teamName", "usageSummaries"}));
    expectReadableAnswers(announced);
    EXPECT_EQ(announced.answerAt("connectionState"), describe(State::Case::disabled));
    EXPECT_EQ(announced.answerAt("localActivity"), "0");
}

TEST_F(TeamWorkspaceSharedChanges, commitNoticesAreAnnouncedAsTheyComeAndGo)
{
    TeamWorkspaceStore &store = *workspace;
    Announcements &announced = *announcements;
    server.injectCommit(teamIds.at(0), commit(QStringLiteral("first"), 100));
    server.sendSnapshots(teamIds.at(0));
    ASSERT_TRUE(waitUntil([&] { return !announced.names().isEmpty(); }));
    ASSERT_TRUE(announced.flush());
    EXPECT_EQ(announced.names(), QStringList{"commitNotifications"});
    EXPECT_EQ(announced.answerAt("commitNotifications"), "first");

    announced.clear();
    store.dismissCommitNotification(commit(QStringLiteral("first"), 0));
    ASSERT_TRUE(announced.flush());
    EXPECT_EQ(announced.names(), QStringList{"commitNotifications"});
    EXPECT_EQ(announced.answerAt("commitNotifications"), "");

    // The same state sent again alters nothing.
    announced.clear();
    bool accepted = false;
    QObject context;
    QObject::connect(&team(1).service(), &TeamPresenceService::snapshotAccepted, &context,
                     [&accepted] { accepted = true; });
    server.sendSnapshots(teamIds.at(0));
    ASSERT_TRUE(waitUntil([&] { return accepted; }));
    ASSERT_TRUE(announced.flush());
    EXPECT_TRUE(announced.names().isEmpty()) << announced.names().join(' ').toStdString();
}

} // namespace
