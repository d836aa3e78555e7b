#include "support/QtPrinters.h"
#include "team/presence/TeamCommitHistory.h"
#include "team/presence/TeamConnectedPeople.h"

#include <gtest/gtest.h>

using namespace tolvaran;

namespace {

const TeamOwnDevice self{QStringLiteral("own-device"), QStringLiteral("Me")};
const Timestamp now = Timestamp::fromSeconds(2'000'000'000.0);

StoredDevicePresence device(const QString &deviceId, const QString &name,
                            std::optional<bool> connected = std::nullopt,
                            qint64 updatedAtMs = 1'000'000, QStringList activeRepositories = {})
{
    StoredDevicePresence presence;
    presence.deviceId = deviceId;
    presence.memberName = name;
    presence.serverUpdatedAt = updatedAtMs;
    presence.isConnected = connected;
    for (const QString &repository : activeRepositories) {
        SharedProjectState project;
        project.repositoryId = repository;
        project.isDirty = true;
        presence.projects.append(project);
    }
    SharedProjectState clean;
    clean.repositoryId = QStringLiteral("clean-repository");
    presence.projects.append(clean);
    return presence;
}

QStringList names(const QList<TeamConnectedPerson> &people)
{
    QStringList result;
    for (const TeamConnectedPerson &person : people)
        result.append(person.name);
    return result;
}

} // namespace

TEST(TeamConnectedPeople, onePersonPerLowerCasedNameWithTheUserFirst)
{
    SharedProjectState ownActive;
    ownActive.repositoryId = QStringLiteral("r1");
    ownActive.isCodexProcessing = true;
    SharedProjectState ownPlaceholder;
    ownPlaceholder.repositoryId = QStringLiteral("r2");
    const QHash<QString, SharedProjectState> activity = {{QStringLiteral("/a"), ownActive},
                                                         {QStringLiteral("/b"), ownActive},
                                                         {QStringLiteral("/c"), ownPlaceholder}};
    const QList<TeamConnectedPerson> people = teamConnectedPeople(
        {
            device(QStringLiteral("d1"), QStringLiteral("zed"), true, 5000,
                   {QStringLiteral("x"), QStringLiteral("y")}),
            device(QStringLiteral("d2"), QStringLiteral("Ana"), std::nullopt, 3000,
                   {QStringLiteral("x")}),
            device(QStringLiteral("d3"), QStringLiteral("ANA"), true, 7000, {QStringLiteral("x")}),
            device(QStringLiteral("d4"), QStringLiteral("ana "), true),
            device(QStringLiteral("d5"), QStringLiteral("Gone"), false, 9000,
                   {QStringLiteral("x")}),
            device(QStringLiteral("own-device"), QStringLiteral("Laptop name")),
        },
        self, activity, now);

    EXPECT_EQ(names(people), (QStringList{QStringLiteral("Laptop name"), QStringLiteral("Me"),
                                          QStringLiteral("Ana"), QStringLiteral("ana "),
                                          QStringLiteral("zed")}));
    EXPECT_TRUE(people[0].isCurrentUser);
    EXPECT_TRUE(people[1].isCurrentUser);
    EXPECT_EQ(people[1].activeProjectCount, 1); // one repository at two paths
    EXPECT_EQ(people[1].lastSeenAt, now);
    EXPECT_FALSE(people[2].isCurrentUser);
    EXPECT_EQ(people[2].activeProjectCount, 1); // two devices dirty in one repository
    EXPECT_EQ(people[2].lastSeenAt, Timestamp::fromSeconds(7.0));
    EXPECT_EQ(people[4].activeProjectCount, 2);
}

TEST(TeamConnectedPeople, theUserIsAlwaysListedAndLastSeenAloneIsNoChange)
{
    const QList<TeamConnectedPerson> alone = teamConnectedPeople({}, self, {}, now);
    ASSERT_EQ(alone.size(), 1);
    EXPECT_EQ(alone[0], (TeamConnectedPerson{QStringLiteral("Me"), true, 0, now}));

    QList<TeamConnectedPerson> later = alone;
    later[0].lastSeenAt = now.addingSeconds(60);
    EXPECT_FALSE(teamConnectedPeopleDiffer(alone, later));
    later[0].activeProjectCount = 1;
    EXPECT_TRUE(teamConnectedPeopleDiffer(alone, later));
    EXPECT_TRUE(teamConnectedPeopleDiffer(alone, {}));
}

namespace {

TeamCommitEvent commit(const QString &id, qint64 receivedAt,
                       const QString &deviceId = QStringLiteral("d1"),
                       const QString &name = QStringLiteral("Ana"))
{
    TeamCommitEvent event;
    event.id = id;
    event.deviceId = deviceId;
    event.memberName = name;
    event.serverReceivedAt = receivedAt;
    return event;
}

QStringList ids(const QList<TeamCommitEvent> &events)
{
    QStringList result;
    for (const TeamCommitEvent &event : events)
        result.append(event.id);
    return result;
}

} // namespace

TEST(TeamCommitHistory, historyIsNewestFirstAndStableOnEqualTimes)
{
    TeamCommitHistory history;
    const TeamCommitHistory::Changes changes = history.apply(
        {commit(QStringLiteral("five"), 5), commit(QStringLiteral("nine"), 9),
         commit(QStringLiteral("sevenA"), 7), commit(QStringLiteral("sevenB"), 7)},
        self);
    EXPECT_TRUE(changes.recentCommits);
    EXPECT_EQ(ids(history.recentCommits()),
              (QStringList{QStringLiteral("nine"), QStringLiteral("sevenA"),
                           QStringLiteral("sevenB"), QStringLiteral("five")}));
    EXPECT_FALSE(history.apply(history.recentCommits(), self).recentCommits);
    EXPECT_TRUE(history.apply({}, self).recentCommits);
    EXPECT_TRUE(history.recentCommits().isEmpty());
}

TEST(TeamCommitHistory, onlyNewCommitsOfOtherPeopleAfterTheFirstHistoryAreQueued)
{
    TeamCommitHistory history;
    const QList<TeamCommitEvent> first = {commit(QStringLiteral("old"), 1)};
    EXPECT_FALSE(history.apply(first, self).commitNotifications);
    EXPECT_TRUE(history.commitNotifications().isEmpty());

    const TeamCommitHistory::Changes changes = history.apply(
        first
            + QList<TeamCommitEvent>{
                commit(QStringLiteral("new"), 2),
                commit(QStringLiteral("own-device"), 3, QStringLiteral("own-device")),
                commit(QStringLiteral("own-name"), 4, QStringLiteral("d9"),
                       QStringLiteral("  me\n")),
            },
        self);
    EXPECT_TRUE(changes.commitNotifications);
    EXPECT_EQ(ids(history.commitNotifications()), QStringList{QStringLiteral("new")});

    EXPECT_TRUE(history.dismissNotification(QStringLiteral("new")));
    EXPECT_FALSE(history.apply(history.recentCommits(), self).commitNotifications);

    history.reset();
    history.apply({commit(QStringLiteral("after-reset"), 9)}, self);
    EXPECT_TRUE(history.commitNotifications().isEmpty());
}

TEST(TeamCommitHistory, theQueueHoldsTwentyAndKeepsTheOlderNotices)
{
    TeamCommitHistory history;
    history.apply({}, self);
    QList<TeamCommitEvent> batch;
    for (int index = 0; index < 25; ++index)
        batch.append(commit(QStringLiteral("c%1").arg(index), index));
    history.apply(batch, self);
    ASSERT_EQ(history.commitNotifications().size(), TeamCommitHistory::maximumNotifications);
    EXPECT_EQ(history.commitNotifications().first().id, QStringLiteral("c24"));
    EXPECT_EQ(history.commitNotifications().last().id, QStringLiteral("c5"));

    const TeamCommitHistory::Changes full =
        history.apply(batch + QList<TeamCommitEvent>{commit(QStringLiteral("c99"), 99)}, self);
    EXPECT_FALSE(full.commitNotifications);
    EXPECT_FALSE(ids(history.commitNotifications()).contains(QStringLiteral("c99")));
}
