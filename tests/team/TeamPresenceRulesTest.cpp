#include "data/git/LocalTeamProjectState.h"
#include "data/token_usage/TokenUsageSnapshot.h"
#include "team/presence/TeamPresenceRules.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>

using namespace tolvaran;
namespace Rules = tolvaran::TeamPresenceRules;

TEST(TeamPresenceRules, wireRepositoryIdentifierIsKeyedByTheTeam)
{
    EXPECT_EQ(Rules::wireRepositoryID(std::nullopt, QStringLiteral("abc")),
              QStringLiteral("abc"));
    // RFC 4231, test case 2: key "Jefe".
    EXPECT_EQ(Rules::wireRepositoryID(QStringLiteral("Jefe"),
                                      QStringLiteral("what do ya want for nothing?")),
              QStringLiteral("5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"));
    const QString one = Rules::wireRepositoryID(QStringLiteral("team-1"), QStringLiteral("r"));
    const QString two = Rules::wireRepositoryID(QStringLiteral("team-2"), QStringLiteral("r"));
    EXPECT_NE(one, two);
    EXPECT_EQ(one, Rules::wireRepositoryID(QStringLiteral("team-1"), QStringLiteral("r")));
    EXPECT_EQ(one.size(), 64);
    EXPECT_EQ(one, one.toLower());
    EXPECT_EQ(Rules::hexadecimal(QCryptographicHash::hash("", QCryptographicHash::Sha256)),
              QStringLiteral("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"));
}

TEST(TeamPresenceRules, usagePayloadFollowsTheProjectsReport)
{
    const QString path = QStringLiteral("/work/app");
    struct Row
    {
        const char *name;
        std::optional<std::pair<qint64, qint64>> report; // lifetime, weekly window
        double usedPercent;
        bool expectPayload;
        double expectedPercent;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Row rows[] = {
        {"no report", std::nullopt, 50, false, 0},
        {"no tokens", std::pair<qint64, qint64>{0, 0}, 50, false, 0},
        {"weekly only", std::pair<qint64, qint64>{0, 500}, 25, true, 12.5},
        {"lifetime only", std::pair<qint64, qint64>{7, 0}, 50, true, 0},
        {"unreadable allowance", std::pair<qint64, qint64>{7, 500}, nan, true, 0},
    };
    for (const Row &row : rows) {
        TokenUsageSnapshot snapshot;
        snapshot.global.weeklyWindowTokens = 1000;
        snapshot.weeklyAllowance = WeeklyAllowanceStatus{};
        snapshot.weeklyAllowance->usedPercent = row.usedPercent;
        if (row.report) {
            TokenUsageReport report;
            report.lifetimeTokens = row.report->first;
            report.weeklyWindowTokens = row.report->second;
            snapshot.projects.insert(path, report);
        }
        const auto usage = Rules::teamUsage(snapshot, path);
        ASSERT_EQ(usage.has_value(), row.expectPayload) << row.name;
        if (!usage)
            continue;
        EXPECT_EQ(usage->lifetimeTokens, row.report->first) << row.name;
        EXPECT_EQ(usage->weeklyTokens, row.report->second) << row.name;
        EXPECT_DOUBLE_EQ(usage->weeklyAllowancePercent, row.expectedPercent) << row.name;
        EXPECT_FALSE(usage->lifetimePlanCost) << row.name; // no plan type
    }
}

TEST(TeamPresenceRules, presenceOrderIsByCodePointAndStable)
{
    const auto named = [](const char *name, const char *id) {
        SharedProjectState state;
        state.repositoryName = QString::fromUtf8(name);
        state.repositoryId = QString::fromUtf8(id);
        return state;
    };
    QList<SharedProjectState> projects = {named("beta", "1"), named("alpha", "2"),
                                          named("Alpha", "3"), named("beta", "4"),
                                          named("\xF0\x9F\x98\x80", "5"), // U+1F600
                                          named("\xEF\xAC\x80", "6")};    // U+FB00
    Rules::sortForPresence(projects);
    QStringList ids;
    for (const auto &project : projects)
        ids.append(project.repositoryId);
    EXPECT_EQ(ids, (QStringList{QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("1"),
                                QStringLiteral("4"), QStringLiteral("6"), QStringLiteral("5")}));
    // Canonically equivalent spellings are one name.
    EXPECT_EQ(Rules::comparePlainText(QStringLiteral("\u00e9"), QStringLiteral("e\u0301")), 0);
}

TEST(TeamPresenceRules, scannedStatesReplaceTheirPlaceholders)
{
    SharedProjectState placeholder;
    placeholder.repositoryId = QStringLiteral("placeholder");
    LocalTeamProjectState scanned;
    scanned.shared.repositoryId = QStringLiteral("scanned");
    const auto inventory = Rules::repositoryInventory(
        {{QStringLiteral("/a"), placeholder}, {QStringLiteral("/b"), placeholder}},
        {{QStringLiteral("/b"), scanned}, {QStringLiteral("/c"), scanned}});
    ASSERT_EQ(inventory.size(), 3);
    EXPECT_EQ(inventory[QStringLiteral("/a")].repositoryId, QStringLiteral("placeholder"));
    EXPECT_EQ(inventory[QStringLiteral("/b")].repositoryId, QStringLiteral("scanned"));
    EXPECT_EQ(inventory[QStringLiteral("/c")].repositoryId, QStringLiteral("scanned"));
}
