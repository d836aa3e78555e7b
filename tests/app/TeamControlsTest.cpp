// What the team filter and the team button offer for a workspace's teams and connection.
#include "app/window/TeamButtonPresentation.h"
#include "app/window/TeamFilterOption.h"

#include <gtest/gtest.h>

namespace tolvaran {
namespace {

TEST(TeamFilterOptionTest, fixedChoicesFirst_thenEnabledTeamsInOrder)
{
    EXPECT_EQ(TeamFilterOption::options({}),
              (QList<TeamFilterOption>{{"all", "All Projects"}, {"local-only", "Local Only"}}));
    EXPECT_EQ(TeamFilterOption::options({{"t-2", "Zeta"}, {"t-1", "Alpha"}}),
              (QList<TeamFilterOption>{{"all", "All Projects"},
                                       {"local-only", "Local Only"},
                                       {"t-2", "Zeta"},
                                       {"t-1", "Alpha"}}));
}

TEST(TeamButtonPresentationTest, withMembership_showsTheConnection)
{
    using Tone = TeamButtonPresentation::Tone;
    struct Row
    {
        TeamConnectionState state;
        const char *toolTip;
        Tone tone;
    };
    const Row rows[] = {
        {TeamConnectionState::connecting(), "Core: Team connecting", Tone::connecting},
        {TeamConnectionState::connected(), "Core: Team connected", Tone::connected},
        {TeamConnectionState::reconnecting("reset"), "Core: Team reconnecting", Tone::connecting},
        {TeamConnectionState::failed("refused"), "Core: Team unavailable", Tone::failed},
        {TeamConnectionState::disabled(), "Core: Team off", Tone::off},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.toolTip);
        const auto button = TeamButtonPresentation::forWorkspace(true, "Core", row.state);
        EXPECT_TRUE(button.title.isEmpty());
        EXPECT_TRUE(button.imageOnly);
        EXPECT_EQ(button.symbolName, "person.2");
        EXPECT_EQ(button.accessibleDescription, "Team activity");
        EXPECT_EQ(button.toolTip, row.toolTip);
        EXPECT_EQ(button.tone, row.tone);
    }
}

TEST(TeamButtonPresentationTest, withoutMembership_invitesWhateverTheConnection)
{
    for (const TeamConnectionState &state :
         {TeamConnectionState::connected(), TeamConnectionState::failed("x"),
          TeamConnectionState::disabled()}) {
        const auto button = TeamButtonPresentation::forWorkspace(false, "Teams", state);
        EXPECT_EQ(button.title, "Add/Join Team");
        EXPECT_FALSE(button.imageOnly);
        EXPECT_EQ(button.symbolName, "person.2.badge.plus");
        EXPECT_EQ(button.toolTip, "Add or join a team");
        EXPECT_EQ(button.tone, TeamButtonPresentation::Tone::invitation);
    }
}

} // namespace
} // namespace tolvaran
