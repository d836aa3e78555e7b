#include "support/QtPrinters.h"
#include "team/view/TeamConnectedPerson.h"
#include "team_interface/TeamConnectionState.h"
#include "team/view/TeamProjectSummary.h"
#include "team/view/TeamProjectUsageSummary.h"

#include <gtest/gtest.h>

#include <limits>

using namespace tolvaran;

namespace {

TeamProjectPeer peer(const QString &device, const QString &name, TeamConflictLevel level,
                     bool connected = true, double updatedAt = 1000.0)
{
    TeamProjectPeer result;
    result.deviceId = device;
    result.memberName = name;
    result.project.repositoryId = QStringLiteral("github.com/acme/app");
    result.project.repositoryName = QStringLiteral("app");
    result.conflictLevel = level;
    result.isConnected = connected;
    result.serverUpdatedAt = Timestamp::fromSeconds(updatedAt);
    return result;
}

TeamProjectUsageMember member(const QString &name, std::optional<double> planCost)
{
    TeamProjectUsageMember result;
    result.memberName = name;
    result.usage.lifetimeTokens = 1200;
    result.usage.lifetimePlanCost = planCost;
    return result;
}

} // namespace

TEST(TeamConflictLevel, rawValuesOutsideTheFourLevelsGiveNone)
{
    for (int raw = 0; raw <= 3; ++raw)
        EXPECT_EQ(static_cast<int>(teamConflictLevelFromRawValue(raw).value()), raw);
    EXPECT_FALSE(teamConflictLevelFromRawValue(4));
    EXPECT_FALSE(teamConflictLevelFromRawValue(-1));
    EXPECT_LT(TeamConflictLevel::awareness, TeamConflictLevel::caution);
    EXPECT_LT(TeamConflictLevel::high, TeamConflictLevel::critical);
}

TEST(TeamProjectSummary, withoutPeersIsAwarenessWithNoNamesAndNoPrimaryPeer)
{
    const TeamProjectSummary summary;
    EXPECT_EQ(summary.conflictLevel(), TeamConflictLevel::awareness);
    EXPECT_EQ(summary.peerNames(), QString());
    EXPECT_FALSE(summary.primaryPeer());
}

TEST(TeamProjectSummary, levelIsTheHighestAndNamesRepeatInListOrder)
{
    const TeamProjectSummary summary{{peer("d1", "Ana", TeamConflictLevel::caution),
                                      peer("d2", "Bo", TeamConflictLevel::critical),
                                      peer("d3", "Ana", TeamConflictLevel::high)}};
    EXPECT_EQ(summary.conflictLevel(), TeamConflictLevel::critical);
    EXPECT_EQ(summary.peerNames(), QStringLiteral("Ana, Bo, Ana"));
    EXPECT_EQ(summary.primaryPeer()->deviceId, QStringLiteral("d2"));
}

TEST(TeamProjectSummary, primaryPeerPrefersLevelThenConnectionThenLatestUpdate)
{
    struct Row
    {
        const char *name;
        QList<TeamProjectPeer> peers;
        const char *expectedDevice;
    };
    using L = TeamConflictLevel;
    const Row rows[] = {
        {"connected beats a later disconnected one at the same level",
         {peer("late", "A", L::high, false, 2000), peer("live", "B", L::high, true, 1000)},
         "live"},
        {"a higher level beats connection",
         {peer("live", "A", L::caution, true, 3000), peer("away", "B", L::high, false, 1)},
         "away"},
        {"the later update wins when level and connection tie",
         {peer("old", "A", L::high, true, 1000), peer("new", "B", L::high, true, 1001)},
         "new"},
        {"a full tie keeps the first in the list",
         {peer("first", "A", L::caution, true, 1000), peer("second", "B", L::caution, true, 1000)},
         "first"},
    };
    for (const Row &row : rows) {
        const TeamProjectSummary summary{row.peers};
        EXPECT_EQ(summary.primaryPeer()->deviceId, QString::fromLatin1(row.expectedDevice))
            << row.name;
    }
}

TEST(TeamProjectSummary, equalityComparesPeersInOrderWithEveryField)
{
    const TeamProjectPeer a = peer("d1", "Ana", TeamConflictLevel::high);
    const TeamProjectPeer b = peer("d2", "Bo", TeamConflictLevel::caution);
    EXPECT_EQ((TeamProjectSummary{{a, b}}), (TeamProjectSummary{{a, b}}));
    EXPECT_EQ(qHash(TeamProjectSummary{{a, b}}), qHash(TeamProjectSummary{{a, b}}));
    EXPECT_NE((TeamProjectSummary{{a, b}}), (TeamProjectSummary{{b, a}}));

    TeamProjectPeer changed = a;
    changed.project.changedFiles.append(QStringLiteral("src/main.cpp"));
    EXPECT_NE((TeamProjectSummary{{a}}), (TeamProjectSummary{{changed}}));
    changed = a;
    changed.overlappingFiles = {QStringLiteral("README.md")};
    EXPECT_NE((TeamProjectSummary{{a}}), (TeamProjectSummary{{changed}}));
}

TEST(TeamProjectUsageSummary, planCostSumsTheMembersThatHaveOne)
{
    const TeamProjectUsageSummary some{
        {member("Ana", 1.5), member("Bo", std::nullopt), member("Cy", 2.25)}};
    EXPECT_DOUBLE_EQ(some.lifetimePlanCost(), 3.75);
    const TeamProjectUsageSummary none{{member("Ana", std::nullopt)}};
    EXPECT_DOUBLE_EQ(none.lifetimePlanCost(), 0.0);
}

TEST(TeamProjectUsageSummary, planCostFromTeammatesSaturatesInsteadOfOverflowing)
{
    const double largest = std::numeric_limits<double>::max();
    const TeamProjectUsageSummary huge{
        {member("Ana", largest), member("Bo", largest), member("Cy", 1.0)}};
    EXPECT_EQ(huge.lifetimePlanCost(), largest);
    const TeamProjectUsageSummary odd{
        {member("Ana", std::numeric_limits<double>::infinity()), member("Bo", 2.0),
         member("Cy", std::numeric_limits<double>::quiet_NaN())}};
    EXPECT_EQ(odd.lifetimePlanCost(), 2.0);
}

TEST(TeamMemberIdentity, namesDifferingOnlyInCaseShareAnIdentityButAreNotEqual)
{
    const TeamProjectUsageMember lower = member("ana lund", 1.0);
    const TeamProjectUsageMember upper = member("Ana Lund", 1.0);
    EXPECT_EQ(lower.id(), upper.id());
    EXPECT_NE(lower, upper);

    const TeamConnectedPerson person{QStringLiteral("ÅSA"), true, 2, Timestamp::fromSeconds(5)};
    EXPECT_EQ(person.id(), QStringLiteral("åsa"));
}

TEST(TeamConnectionState, messagesCountOnlyForTheCasesThatCarryThem)
{
    EXPECT_EQ(TeamConnectionState::failed("timeout"), TeamConnectionState::failed("timeout"));
    EXPECT_NE(TeamConnectionState::failed("timeout"), TeamConnectionState::failed("refused"));
    EXPECT_NE(TeamConnectionState::failed("x"), TeamConnectionState::reconnecting("x"));
    EXPECT_EQ(TeamConnectionState::connected(),
              (TeamConnectionState{TeamConnectionState::Case::connected, "ignored"}));
}
