#include "support/LogRecorder.h"
#include "team/TeamLogging.h"

#include <gtest/gtest.h>

using tolvaran::fixtures::LogRecorder;

// The check at the end of the run that no log line holds a secret is only as good as the
// recording it reads: every category and level the team code logs at must reach it.
TEST(TeamLogRecording, recordsEveryTeamLogLevel)
{
    qCDebug(lcTeam, "probe debug line");
    qCWarning(lcTeam, "probe warning line");
    const QStringList lines = LogRecorder::lines();
    EXPECT_TRUE(lines.contains(QStringLiteral("com.ostvik.tolvaran.team: probe debug line")));
    EXPECT_TRUE(lines.contains(QStringLiteral("com.ostvik.tolvaran.team: probe warning line")));
}
