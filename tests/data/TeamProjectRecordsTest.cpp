#include "data/git/LocalTeamProjectSource.h"
#include "data/git/LocalTeamProjectState.h"
#include "platform/JsonCoding.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

#include <cmath>

using namespace tolvaran;

namespace {

SharedProjectState minimalState()
{
    SharedProjectState state;
    state.repositoryId = QStringLiteral("github.com/acme/app");
    state.repositoryName = QStringLiteral("app");
    state.changedFiles = {QStringLiteral("a.txt"), QStringLiteral("b.txt")};
    return state;
}

QJsonObject parse(const char *text)
{
    return QJsonDocument::fromJson(QByteArray(text)).object();
}

} // namespace

TEST(SharedProjectState, minimalStateWritesOnlyRequiredKeys)
{
    const QJsonObject object = minimalState().toJson();
    EXPECT_EQ(object.size(), 10);
    for (const char *absent : {"branch", "headSha", "lastActivityAt", "workSummary", "usage"})
        EXPECT_FALSE(object.contains(QLatin1String(absent))) << absent;
    EXPECT_EQ(SharedProjectState::fromJson(object), minimalState());
}

TEST(SharedProjectState, optionalKeysMayBeNullOrMissingRequiredMayNot)
{
    QJsonObject object = minimalState().toJson();
    object.insert(QStringLiteral("usage"), QJsonValue::Null);
    object.insert(QStringLiteral("branch"), QJsonValue::Null);
    const SharedProjectState decoded = SharedProjectState::fromJson(object);
    EXPECT_FALSE(decoded.usage);
    EXPECT_FALSE(decoded.branch);

    for (const char *required : {"changedFiles", "isCodexProcessing", "repositoryId"}) {
        QJsonObject broken = minimalState().toJson();
        broken.remove(QLatin1String(required));
        EXPECT_THROW(SharedProjectState::fromJson(broken), JsonDecodingError) << required;
    }
    QJsonObject mistyped = minimalState().toJson();
    mistyped.insert(QStringLiteral("stagedCount"), 1.5);
    EXPECT_THROW(SharedProjectState::fromJson(mistyped), JsonDecodingError);
}

TEST(SharedProjectState, orderOfChangedFilesMatters)
{
    SharedProjectState reversed = minimalState();
    std::reverse(reversed.changedFiles.begin(), reversed.changedFiles.end());
    EXPECT_NE(reversed, minimalState());
}

TEST(TeamProjectUsagePayload, planCostIsOptionalPercentIsNot)
{
    const auto usage = TeamProjectUsagePayload::fromJson(
        parse(R"({"lifetimeTokens": 9007199254740993, "weeklyTokens": 2,
                  "weeklyAllowancePercent": 12.5})"));
    EXPECT_EQ(usage.lifetimeTokens, 9007199254740993LL); // beyond a double's exact range
    EXPECT_FALSE(usage.lifetimePlanCost);
    EXPECT_FALSE(usage.toJson().contains(QStringLiteral("lifetimePlanCost")));
    EXPECT_THROW(TeamProjectUsagePayload::fromJson(
                     parse(R"({"lifetimeTokens": 1, "weeklyTokens": 2})")),
                 JsonDecodingError);

    TeamProjectUsagePayload zero = usage;
    zero.weeklyAllowancePercent = 0.0;
    TeamProjectUsagePayload negativeZero = usage;
    negativeZero.weeklyAllowancePercent = -0.0;
    EXPECT_EQ(zero, negativeZero);
    EXPECT_EQ(qHash(zero), qHash(negativeZero));
    TeamProjectUsagePayload notANumber = usage;
    notANumber.weeklyAllowancePercent = std::nan("");
    EXPECT_NE(notANumber, notANumber);
}

TEST(LocalTeamProjectState, roundTripsWithoutHeadCommit)
{
    LocalTeamProjectState state;
    state.shared = minimalState();
    state.workFingerprint = QString(64, QLatin1Char('a'));
    const QJsonObject object = state.toJson();
    EXPECT_FALSE(object.contains(QStringLiteral("headSubject")));
    EXPECT_FALSE(object.contains(QStringLiteral("committedAt")));
    EXPECT_EQ(LocalTeamProjectState::fromJson(object), state);

    QJsonObject missing = object;
    missing.remove(QStringLiteral("isLocalCommit"));
    EXPECT_THROW(LocalTeamProjectState::fromJson(missing), JsonDecodingError);
}

TEST(LocalTeamProjectSource, everyFieldTakesPartInEquality)
{
    LocalTeamProjectSource a;
    a.path = QStringLiteral("/p");
    a.recencyAt = Timestamp::fromSeconds(1);
    LocalTeamProjectSource b = a;
    b.latestUserRequest = QStringLiteral("fix it");
    EXPECT_NE(a, b);
    LocalTeamProjectSource c = a;
    c.recencyAt = Timestamp::fromSeconds(1.001);
    EXPECT_NE(a, c);
}
