#include "support/QtPrinters.h"
#include "team/wire/CommitCreatedMessage.h"
#include "team/wire/PresenceUpdate.h"
#include "team/wire/PrivateCommitCreatedMessage.h"
#include "team/wire/PrivateStateUpdate.h"
#include "team/wire/TeamJsonReader.h"
#include "team/wire/TeamJsonWriter.h"
#include "team/wire/TeamWireCoding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace tolvaran;

namespace {

SharedProjectState bareProject()
{
    SharedProjectState state;
    state.repositoryId = "github.com/acme/app";
    state.repositoryName = "app";
    return state;
}

SharedProjectState fullProject()
{
    SharedProjectState state = bareProject();
    state.branch = "main";
    state.headSha = "0123abcd";
    state.isDirty = true;
    state.stagedCount = 1;
    state.modifiedCount = 2;
    state.untrackedCount = 3;
    state.additions = 40;
    state.deletions = 5;
    state.changedFiles = {"src/a.cpp", "b \"c\".h"};
    state.lastActivityAt = 9007199254740993;
    state.isCodexProcessing = true;
    state.workSummary = "Fixing the parser\n(é/ü)";
    state.usage = TeamProjectUsagePayload{9223372036854775807, 1200, 12.5, 0.1};
    return state;
}

TeamCommitPayload commit(std::optional<QString> branch)
{
    return TeamCommitPayload{"5f0c6e1a-2b3d-4c5e-8f90-a1b2c3d4e5f6", "github.com/acme/app", "app",
                             branch, "0123abcd", "Fix the parser", 1780000000000};
}

QByteArray encoded(const SharedProjectState &state)
{
    TeamJsonWriter writer;
    TeamWireCoding::write(writer, state);
    return writer.bytes();
}

} // namespace

TEST(TeamMessages, eachMessageByteForByte)
{
    const QByteArray bare = R"({"repositoryId":"github.com/acme/app","repositoryName":"app",)"
                            R"("isDirty":false,"stagedCount":0,"modifiedCount":0,)"
                            R"("untrackedCount":0,"additions":0,"deletions":0,)"
                            R"("changedFiles":[],"isCodexProcessing":false})";
    const QByteArray full =
        R"({"repositoryId":"github.com/acme/app","repositoryName":"app","branch":"main",)"
        R"("headSha":"0123abcd","isDirty":true,"stagedCount":1,"modifiedCount":2,)"
        R"("untrackedCount":3,"additions":40,"deletions":5,)"
        R"("changedFiles":["src/a.cpp","b \"c\".h"],"lastActivityAt":9007199254740993,)"
        R"x("isCodexProcessing":true,"workSummary":"Fixing the parser\n(é/ü)",)x"
        R"("usage":{"lifetimeTokens":9223372036854775807,"weeklyTokens":1200,)"
        R"("weeklyAllowancePercent":12.5,"lifetimePlanCost":0.1}})";
    const QByteArray branchCommit =
        R"({"id":"5f0c6e1a-2b3d-4c5e-8f90-a1b2c3d4e5f6","repositoryId":"github.com/acme/app",)"
        R"("repositoryName":"app","branch":"main","headSha":"0123abcd",)"
        R"("subject":"Fix the parser","committedAt":1780000000000})";

    struct Row
    {
        const char *name;
        QByteArray bytes;
        QByteArray expected;
    };
    const CommitCreatedMessage queued{"device-1", "Ana", commit("main")};
    const Row rows[] = {
        {"state with only required fields", encoded(bareProject()), bare},
        {"state with every field", encoded(fullProject()), full},
        {"presence without projects",
         PresenceUpdate{"device-1", "Ana", {}}.toJson(),
         R"({"type":"presence.update","protocolVersion":1,"deviceId":"device-1",)"
         R"("memberName":"Ana","projects":[]})"},
        {"presence with projects",
         PresenceUpdate{"device-1", "Ana", {fullProject(), bareProject()}}.toJson(),
         R"({"type":"presence.update","protocolVersion":1,"deviceId":"device-1",)"
         R"("memberName":"Ana","projects":[)" + full + "," + bare + "]}"},
        {"state without overlap",
         PrivateStateUpdate{"device-1", "Ana", {"0a1b", "ff00"}, {}}.toJson(),
         R"({"type":"state.update","protocolVersion":2,"deviceId":"device-1",)"
         R"("memberName":"Ana","repositoryIds":["0a1b","ff00"],"projects":[]})"},
        {"state with overlap",
         PrivateStateUpdate{"device-1", "Ana", {"0a1b"}, {bareProject()}}.toJson(),
         R"({"type":"state.update","protocolVersion":2,"deviceId":"device-1",)"
         R"("memberName":"Ana","repositoryIds":["0a1b"],"projects":[)" + bare + "]}"},
        {"commit on a branch", queued.toJson(),
         R"({"type":"commit.created","protocolVersion":1,"deviceId":"device-1",)"
         R"("memberName":"Ana","commit":)" + branchCommit + "}"},
        {"commit on a detached head",
         CommitCreatedMessage{"device-1", "Ana", commit(std::nullopt)}.toJson(),
         R"({"type":"commit.created","protocolVersion":1,"deviceId":"device-1",)"
         R"("memberName":"Ana","commit":{"id":"5f0c6e1a-2b3d-4c5e-8f90-a1b2c3d4e5f6",)"
         R"("repositoryId":"github.com/acme/app","repositoryName":"app",)"
         R"("headSha":"0123abcd","subject":"Fix the parser","committedAt":1780000000000}})"},
        {"commit under protocol 2",
         PrivateCommitCreatedMessage::fromQueued(queued, "9f86d0").toJson(),
         R"({"type":"commit.created","protocolVersion":2,"deviceId":"device-1",)"
         R"("memberName":"Ana","commit":)"
             + QByteArray(branchCommit).replace("github.com/acme/app", "9f86d0") + "}"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(row.bytes.toStdString(), row.expected.toStdString()) << row.name;
    EXPECT_EQ(queued.commit.repositoryId, "github.com/acme/app");
}

TEST(TeamMessages, stateReadsBackAsWritten)
{
    const QByteArray bytes = encoded(fullProject());
    TeamJsonReader reader(bytes);
    EXPECT_EQ(TeamWireCoding::decodeSharedProjectState(reader), fullProject());
    reader.finish();
}

TEST(TeamJsonWriter, textAndNumbersAreWrittenAsJson)
{
    TeamJsonWriter writer;
    writer.beginArray();
    writer.stringValue(QString::fromUtf8("q\"b\\s/\b\f\n\r\t\x01\x1f é 😀"));
    writer.doubleValue(50.0);
    writer.doubleValue(-0.25);
    writer.doubleValue(1e22);
    writer.intValue(std::numeric_limits<qint64>::min());
    writer.boolValue(false);
    writer.endArray();
    EXPECT_EQ(writer.bytes().toStdString(),
              "[\"q\\\"b\\\\s/\\b\\f\\n\\r\\t\\u0001\\u001f é 😀\",50,-0.25,1e+22,"
              "-9223372036854775808,false]");
}

TEST(TeamJsonWriter, numbersJsonCannotCarryAreRefused)
{
    for (const double value : {std::nan(""), std::numeric_limits<double>::infinity()}) {
        TeamJsonWriter writer;
        writer.beginArray();
        try {
            writer.doubleValue(value);
            ADD_FAILURE() << "written: " << writer.bytes().toStdString();
        } catch (const TeamWireError &error) {
            EXPECT_EQ(error.kind(), TeamWireError::Kind::unencodable);
        }
    }
}

TEST(TeamCommitPayload, decodesWithAbsentOrNullBranch)
{
    const auto decode = [](const QByteArray &bytes) {
        TeamJsonReader reader(bytes);
        return TeamCommitPayload::decode(reader);
    };
    const QByteArray detached = CommitCreatedMessage{"d", "m", commit(std::nullopt)}
                                    .toJson()
                                    .sliced(QByteArray(R"({"type":"commit.created",)"
                                                       R"("protocolVersion":1,"deviceId":"d",)"
                                                       R"("memberName":"m","commit":)")
                                                .size())
                                    .chopped(1);
    EXPECT_EQ(decode(detached), commit(std::nullopt));
    EXPECT_EQ(decode(QByteArray(detached).replace(R"("headSha")", R"("branch":null,"headSha")")),
              commit(std::nullopt));
    EXPECT_NE(commit(std::nullopt), commit("main"));
    EXPECT_NE(qHash(commit(std::nullopt)), qHash(commit("")));
    EXPECT_THROW(decode(QByteArray(detached).replace(R"("subject")", R"("s")")), TeamWireError);
}
