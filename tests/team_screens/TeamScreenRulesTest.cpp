#include "team_screens/TeamAccessRules.h"
#include "team_screens/TeamConnectionPresentation.h"
#include "team_screens/TeamDashboardTab.h"
#include "team_screens/TeamMembershipFacts.h"

#include <gtest/gtest.h>

using namespace tolvaran;
using Role = TeamInstallationRole;

namespace {

TeamInstallation installation(const QString &deviceId, const QString &name, Role role)
{
    TeamInstallation result;
    result.deviceId = deviceId;
    result.memberName = name;
    result.role = role;
    return result;
}

TeamSecurityStatus security(std::optional<Role> role, int installations = 1,
                            bool legacy = false)
{
    TeamSecurityStatus status;
    status.legacyKeyEnabled = legacy;
    status.currentDeviceRole = role;
    for (int index = 0; index < installations; ++index)
        status.installations.append(
            installation(QStringLiteral("d%1").arg(index), QStringLiteral("n%1").arg(index),
                         Role::member));
    return status;
}

TEST(TeamMembershipFactsTest, whetherAndHowAMembershipCanBeGivenUp)
{
    struct Case
    {
        const char *name;
        TeamMembershipFacts facts;
        bool canRemove;
        bool deletes;
    };
    const auto facts = [](bool membership, bool key, bool registered, std::optional<Role> stored,
                          std::optional<TeamSecurityStatus> status) {
        return TeamMembershipFacts{membership, key, registered, stored, std::move(status)};
    };
    const Case cases[] = {
        {"no membership", facts(false, true, false, Role::owner, std::nullopt), false, true},
        {"sole owner", facts(true, true, true, Role::member, security(Role::owner, 1)), true,
         true},
        {"owner among two", facts(true, true, true, Role::owner, security(Role::owner, 2)),
         false, false},
        {"owner among two, never registered",
         facts(true, true, false, Role::owner, security(Role::owner, 2)), true, true},
        {"stored owner without a status", facts(true, false, true, Role::owner, std::nullopt),
         false, false},
        {"stored owner, no status, key but no registration",
         facts(true, true, false, Role::owner, std::nullopt), true, true},
        {"admin", facts(true, true, true, Role::admin, security(Role::admin, 3)), true, false},
        {"member", facts(true, false, true, std::nullopt, security(Role::member, 3)), true,
         false},
        {"registered with an unknown role", facts(true, false, true, std::nullopt, std::nullopt),
         true, false},
        {"admin with a key but no registration",
         facts(true, true, false, Role::admin, std::nullopt), true, true},
        {"status role wins over the stored one",
         facts(true, true, true, Role::owner, security(Role::member, 1)), true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.facts.canRemoveCurrentMembership(), c.canRemove);
        EXPECT_EQ(c.facts.removalDeletesTeam(), c.deletes);
    }
}

TEST(TeamAccessRulesTest, installationsAndPeopleMatchByTrimmedLowerCasedName)
{
    const QList<TeamConnectedPerson> people{{QStringLiteral("Ada"), true, 0, {}},
                                            {QStringLiteral("  BO\n"), false, 3, {}},
                                            {QStringLiteral("Cy"), false, 1, {}}};
    const QList<TeamInstallation> installs{
        installation(QStringLiteral("mine"), QStringLiteral("ada"), Role::owner),
        installation(QStringLiteral("bo-1"), QStringLiteral("Bo"), Role::member),
        installation(QStringLiteral("bo-2"), QStringLiteral(" bo"), Role::admin),
        installation(QStringLiteral("dee"), QStringLiteral("Dee"), Role::member)};

    const QList<TeamConnectedPerson> unregistered =
        TeamAccessRules::unregisteredConnectedPeople(people, installs);
    ASSERT_EQ(unregistered.size(), 1);
    EXPECT_EQ(unregistered.first().name, QStringLiteral("Cy"));
    // Two installations of one name both match the same person.
    EXPECT_EQ(TeamAccessRules::matchingPerson(installs[1], people)->activeProjectCount, 3);
    EXPECT_EQ(TeamAccessRules::matchingPerson(installs[2], people)->activeProjectCount, 3);
    EXPECT_FALSE(TeamAccessRules::matchingPerson(installs[3], people).has_value());

    const auto connected = TeamConnectionState::connected();
    const auto reconnecting = TeamConnectionState::reconnecting(QStringLiteral("dropped"));
    EXPECT_TRUE(TeamAccessRules::isOnline(installs[0], people, QStringLiteral("mine"), connected));
    // This device's own entry is always among the people: it is online only while connected.
    EXPECT_FALSE(
        TeamAccessRules::isOnline(installs[0], people, QStringLiteral("mine"), reconnecting));
    EXPECT_TRUE(
        TeamAccessRules::isOnline(installs[1], people, QStringLiteral("mine"), reconnecting));
    EXPECT_FALSE(
        TeamAccessRules::isOnline(installs[3], people, QStringLiteral("mine"), connected));
}

TEST(TeamAccessRulesTest, whoIsOfferedTheManagementMenu)
{
    struct Case
    {
        const char *name;
        std::optional<Role> viewer;
        Role target;
        bool legacy;
        bool self;
        bool offered;
    };
    const Case cases[] = {
        {"owner on a member", Role::owner, Role::member, false, false, true},
        {"owner on an admin", Role::owner, Role::admin, false, false, true},
        {"admin on an admin", Role::admin, Role::admin, false, false, true},
        {"anyone on the owner", Role::admin, Role::owner, false, false, false},
        {"member", Role::member, Role::member, false, false, false},
        {"unknown role", std::nullopt, Role::member, false, false, false},
        {"legacy key still on", Role::owner, Role::member, true, false, false},
        {"this device", Role::owner, Role::admin, false, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TeamSecurityStatus status = security(c.viewer, 0, c.legacy);
        const TeamInstallation target =
            installation(c.self ? QStringLiteral("mine") : QStringLiteral("other"),
                         QStringLiteral("X"), c.target);
        EXPECT_EQ(TeamAccessRules::canManage(target, status, QStringLiteral("mine")), c.offered);
    }
}

TEST(TeamAccessRulesTest, rowTexts)
{
    TeamInstallation admin = installation(QStringLiteral("d"), QStringLiteral("Bo"), Role::admin);
    admin.lastSeenAt = 1'000'000'000'000;
    const Timestamp now = Timestamp::fromMilliseconds(admin.lastSeenAt + 3 * 3600 * 1000);
    EXPECT_EQ(TeamAccessRules::installationDetail(admin, true, now),
              QStringLiteral("Admin \u00B7 Online \u00B7 Version not reported"));
    admin.appVersion = QStringLiteral("26.9.1");
    EXPECT_EQ(TeamAccessRules::installationDetail(admin, false, now),
              QStringLiteral("Admin \u00B7 Last seen 3 hr. ago \u00B7 Version 26.9.1"));
    EXPECT_EQ(TeamAccessRules::activityText({QStringLiteral("Bo"), false, 0, {}}),
              QStringLiteral("Available"));
    EXPECT_EQ(TeamAccessRules::activityText({QStringLiteral("Bo"), false, 12, {}}),
              QStringLiteral("12 active"));
    EXPECT_EQ(TeamAccessRules::roleTitle(Role::owner), QStringLiteral("Owner"));
}

TEST(TeamDashboardListsTest, sharedPathsSortByCodePointAndCommitsStopAtTwenty)
{
    const QStringList sorted = TeamDashboardLists::sortedSharedPaths(
        {QStringLiteral("/w/b/api"), QStringLiteral("/w/a/api"), QStringLiteral("/w/Zeta"),
         QStringLiteral("/w/alpha"), QStringLiteral("/w/\U0001F600"),
         QStringLiteral("/w/\uFF21")});
    EXPECT_EQ(sorted, (QStringList{QStringLiteral("/w/Zeta"), QStringLiteral("/w/a/api"),
                                   QStringLiteral("/w/alpha"), QStringLiteral("/w/b/api"),
                                   QStringLiteral("/w/\uFF21"), QStringLiteral("/w/\U0001F600")}));
    EXPECT_EQ(TeamDashboardLists::lastPathComponent(QStringLiteral("/w/a/api/")),
              QStringLiteral("api"));

    QList<TeamCommitEvent> commits;
    for (int index = 0; index < 25; ++index) {
        TeamCommitEvent commit;
        commit.id = QString::number(index);
        commits.append(commit);
    }
    const QList<TeamCommitEvent> shown = TeamDashboardLists::shownCommits(commits);
    ASSERT_EQ(shown.size(), 20);
    EXPECT_EQ(shown.first().id, QStringLiteral("0"));
    EXPECT_EQ(shown.last().id, QStringLiteral("19"));
    EXPECT_TRUE(TeamDashboardLists::shownCommits({}).isEmpty());
}

TEST(TeamDashboardTabTest, rawValuesAreTheLabelsAndOnlyTheyAreAccepted)
{
    QStringList labels;
    for (TeamDashboardTab tab : allTeamDashboardTabs) {
        labels << rawValue(tab);
        EXPECT_EQ(teamDashboardTabFromRawValue(rawValue(tab)), tab);
    }
    EXPECT_EQ(labels, (QStringList{QStringLiteral("Settings"), QStringLiteral("Shared Projects"),
                                   QStringLiteral("People"), QStringLiteral("Recent Commits")}));
    EXPECT_FALSE(teamDashboardTabFromRawValue(QStringLiteral("settings")).has_value());
    EXPECT_FALSE(teamDashboardTabFromRawValue(QString()).has_value());
}

TEST(TeamConnectionPresentationTest, labelsIgnoreTheCarriedMessage)
{
    EXPECT_EQ(TeamConnectionPresentation::label(TeamConnectionState::failed(QStringLiteral("x"))),
              QStringLiteral("Team unavailable"));
    EXPECT_EQ(TeamConnectionPresentation::label(TeamConnectionState::reconnecting({})),
              QStringLiteral("Team reconnecting"));
    EXPECT_EQ(TeamConnectionPresentation::label(TeamConnectionState::disabled()),
              QStringLiteral("Team off"));
}

} // namespace
