// The week label's text and colour at the thresholds, and the commit banner's text.
#include "app/window/CommitBannerText.h"
#include "app/cards/WeeklyAllowanceLabel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tolvaran {
namespace {

WeeklyAllowanceStatus allowance(double usedPercent)
{
    WeeklyAllowanceStatus status;
    status.usedPercent = usedPercent;
    status.resetsAt = Timestamp::fromSeconds(1772726400.0); // 2026-03-05
    return status;
}

TEST(WeeklyAllowanceLabelTest, withoutAllowance_waitsInTheSecondaryColour)
{
    const WeeklyAllowanceLabel label = weeklyAllowanceLabel(std::nullopt, QLocale::c());
    EXPECT_EQ(label.text, "WEEK  Waiting for Codex usage");
    EXPECT_EQ(label.tone, WeeklyAllowanceTone::waiting);
    EXPECT_EQ(label.toolTip,
              "The weekly allowance appears after Codex records current rate-limit status.");
}

TEST(WeeklyAllowanceLabelTest, textAndTone_followTheUsedShare)
{
    struct Row
    {
        const char *name;
        double used;
        const char *text;
        WeeklyAllowanceTone tone;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Row rows[] = {
        {"nothing used", 0.0, "WEEK  0% USED \u00b7 100% LEFT", WeeklyAllowanceTone::normal},
        {"one fraction digit", 42.5, "WEEK  42.5% USED \u00b7 57.5% LEFT",
         WeeklyAllowanceTone::normal},
        {"rounds to one digit", 12.34, "WEEK  12.3% USED \u00b7 87.7% LEFT",
         WeeklyAllowanceTone::normal},
        {"reads 60 but is below", 59.96, "WEEK  60% USED \u00b7 40% LEFT",
         WeeklyAllowanceTone::normal},
        {"60 exactly warns", 60.0, "WEEK  60% USED \u00b7 40% LEFT", WeeklyAllowanceTone::warning},
        {"just below 80", 79.99, "WEEK  80% USED \u00b7 20% LEFT", WeeklyAllowanceTone::warning},
        {"80 exactly alarms", 80.0, "WEEK  80% USED \u00b7 20% LEFT",
         WeeklyAllowanceTone::critical},
        {"all used", 100.0, "WEEK  100% USED \u00b7 0% LEFT", WeeklyAllowanceTone::critical},
        {"over the allowance", 112.0, "WEEK  112% USED \u00b7 0% LEFT",
         WeeklyAllowanceTone::critical},
        {"not a number", nan, "WEEK  nan% USED \u00b7 0% LEFT", WeeklyAllowanceTone::normal},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const WeeklyAllowanceLabel label = weeklyAllowanceLabel(allowance(row.used), QLocale::c());
        EXPECT_EQ(label.text, QString::fromUtf8(row.text));
        EXPECT_EQ(label.tone, row.tone);
    }
}

TEST(WeeklyAllowanceLabelTest, figures_areWrittenInTheLocale)
{
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(weeklyAllowanceLabel(allowance(42.5), german).text,
              QString::fromUtf8("WEEK  42,5% USED \u00b7 57,5% LEFT"));
}

TEST(WeeklyAllowanceLabelTest, toolTip_namesTheResetDayWithAnAbbreviatedMonth)
{
    const QLocale american(QLocale::English, QLocale::UnitedStates);
    const QString toolTip = weeklyAllowanceLabel(allowance(10.0), american).toolTip;
    EXPECT_TRUE(toolTip.startsWith("Codex weekly allowance resets ")) << toolTip.toStdString();
    EXPECT_TRUE(toolTip.contains("2026")) << toolTip.toStdString();
    EXPECT_TRUE(toolTip.contains("Mar")) << toolTip.toStdString();
    EXPECT_FALSE(toolTip.contains("March")) << toolTip.toStdString();
    EXPECT_FALSE(toolTip.contains("day,")) << toolTip.toStdString(); // no weekday
}

TeamCommitEvent commit(const QString &member, const QString &subject, const QString &sha)
{
    TeamCommitEvent event;
    event.id = member + subject;
    event.memberName = member;
    event.repositoryName = QStringLiteral("tolvaran");
    event.subject = subject;
    event.headSha = sha;
    return event;
}

TEST(CommitBannerTextTest, showsTheFirstNotification_withAShortHash)
{
    EXPECT_EQ(CommitBannerText::forNotifications({}), std::nullopt);

    const QList<TeamCommitEvent> notifications{
        commit("Ana", "Fix the footer", "1a2b3c4d5e6f"),
        commit("Bo", "Older work", "ffffffffff"),
    };
    EXPECT_EQ(CommitBannerText::forNotifications(notifications),
              (CommitBannerText{"Ana committed to tolvaran", "Fix the footer  |  1a2b3c4"}));
    // A hash shorter than seven characters is shown whole.
    EXPECT_EQ(CommitBannerText::forNotifications({commit("Ana", "Tiny", "abcde")})->subtitle,
              "Tiny  |  abcde");
}

} // namespace
} // namespace tolvaran
