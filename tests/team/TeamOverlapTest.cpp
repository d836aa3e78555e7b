#include "support/QtPrinters.h"
#include "team/presence/TeamOverlap.h"
#include "team/presence/TeamPersonCollapse.h"

#include <gtest/gtest.h>

using namespace tolvaran;

namespace {

using Level = TeamConflictLevel;

SharedProjectState state(std::optional<QString> branch, std::optional<QString> head,
                         QStringList files, bool processing = false)
{
    SharedProjectState result;
    result.repositoryId = QStringLiteral("repo");
    result.repositoryName = QStringLiteral("repo");
    result.branch = std::move(branch);
    result.headSha = std::move(head);
    result.isDirty = !files.isEmpty();
    result.changedFiles = std::move(files);
    result.isCodexProcessing = processing;
    return result;
}

const QString mainBranch = QStringLiteral("main");
const QString other = QStringLiteral("feature");
const QString headA = QStringLiteral("aaaa");
const QString headB = QStringLiteral("bbbb");
const QStringList ab = {QStringLiteral("b"), QStringLiteral("a")};
const QStringList abc = {QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("c")};
const QStringList z = {QStringLiteral("z")};

struct OverlapCase
{
    const char *name;
    SharedProjectState peer;
    bool peerConnected;
    SharedProjectState local;
    Level expected;
};

} // namespace

TEST(TeamOverlap, levelsAndTheirBoundaries)
{
    const std::optional<QString> none;
    const OverlapCase cases[] = {
        {"shared files, same branch, heads differ", state(mainBranch, headA, abc), true,
         state(mainBranch, headB, ab), Level::critical},
        {"shared files, same branch, same head", state(mainBranch, headA, abc), true,
         state(mainBranch, headA, ab), Level::high},
        {"shared files, same branch, local head absent", state(mainBranch, headA, abc), true,
         state(mainBranch, none, ab), Level::high},
        {"shared files, other branches, heads differ", state(other, headA, abc), true,
         state(mainBranch, headB, ab), Level::high},
        {"shared files, both branches absent", state(none, headA, abc), true,
         state(none, headB, ab), Level::high},
        {"no shared files, same branch, nobody processing", state(mainBranch, headA, z), false,
         state(mainBranch, headB, ab), Level::caution},
        {"no shared files, other branches, local processing", state(other, headA, z), true,
         state(mainBranch, headB, ab, true), Level::caution},
        {"no shared files, peer processing, connected", state(other, headA, z, true), true,
         state(mainBranch, headB, ab), Level::caution},
        {"no shared files, peer processing, disconnected", state(other, headA, z, true), false,
         state(mainBranch, headB, ab), Level::awareness},
        {"no shared files, branch absent on one side", state(none, headA, z), true,
         state(mainBranch, headB, ab), Level::awareness},
    };
    for (const OverlapCase &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(teamOverlap(c.peer, c.peerConnected, c.local).conflictLevel, c.expected);
    }
}

TEST(TeamOverlap, filesAreTheSortedDistinctIntersectionTakenAsPlainText)
{
    const TeamOverlap overlap = teamOverlap(state(mainBranch, headA, abc + ab), true,
                                            state(mainBranch, headA, ab));
    EXPECT_EQ(overlap.overlappingFiles, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));

    // A teammate's paths are compared as text: "..", absolute paths and control characters are
    // neither cleaned nor resolved, so "src/../a" is not "a".
    const QStringList hostile = {QStringLiteral("src/../a"), QStringLiteral("/etc/passwd"),
                                 QStringLiteral("a\u0007\n"), QStringLiteral("a")};
    const QStringList localFiles = {QStringLiteral("a"), QStringLiteral("/etc/passwd")};
    const TeamOverlap text = teamOverlap(state(mainBranch, headA, hostile), true,
                                         state(mainBranch, headA, localFiles));
    EXPECT_EQ(text.overlappingFiles,
              (QStringList{QStringLiteral("/etc/passwd"), QStringLiteral("a")}));
}

namespace {

TeamProjectPeer peer(const char *device, const QString &name, Level level, bool connected,
                     double updatedAt, QStringList files = {})
{
    TeamProjectPeer result;
    result.deviceId = QString::fromLatin1(device);
    result.memberName = name;
    result.project.repositoryId = QStringLiteral("repo");
    result.project.repositoryName = result.deviceId;
    result.overlappingFiles = std::move(files);
    result.conflictLevel = level;
    result.isConnected = connected;
    result.serverUpdatedAt = Timestamp::fromSeconds(updatedAt);
    return result;
}

TeamProjectUsageMember usage(const QString &name, double updatedAt, qint64 tokens)
{
    TeamProjectUsageMember result;
    result.memberName = name;
    result.usage.lifetimeTokens = tokens;
    result.serverUpdatedAt = Timestamp::fromSeconds(updatedAt);
    return result;
}

} // namespace

TEST(TeamPersonCollapse, twoDevicesOfOnePersonBecomeOneWinner)
{
    struct Case
    {
        const char *name;
        TeamProjectPeer first;
        TeamProjectPeer second;
        QString winnerDevice;
        Level level;
    };
    const QString ana = QStringLiteral("Ana");
    const QString anaLower = QStringLiteral("ana");
    const Case cases[] = {
        {"higher level wins", peer("d1", ana, Level::high, true, 9),
         peer("d2", anaLower, Level::critical, false, 1), QStringLiteral("d2"), Level::critical},
        {"connected wins at equal level, even older",
         peer("d1", ana, Level::high, false, 9), peer("d2", anaLower, Level::high, true, 1),
         QStringLiteral("d2"), Level::high},
        {"later update wins at equal level and connection",
         peer("d1", ana, Level::caution, true, 1), peer("d2", ana, Level::caution, true, 2),
         QStringLiteral("d2"), Level::caution},
        {"equal update keeps the first", peer("d1", ana, Level::caution, true, 5),
         peer("d2", ana, Level::caution, true, 5), QStringLiteral("d1"), Level::caution},
        {"lower level never wins, even connected and later",
         peer("d1", ana, Level::high, false, 1), peer("d2", ana, Level::caution, true, 9),
         QStringLiteral("d1"), Level::high},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QList<TeamProjectPeer> result = collapsePeersByPerson({c.first, c.second});
        ASSERT_EQ(result.size(), 1);
        EXPECT_EQ(result[0].deviceId, c.winnerDevice);
        EXPECT_EQ(result[0].project.repositoryName, c.winnerDevice);
        EXPECT_EQ(result[0].memberName, ana); // the first name met
        EXPECT_EQ(result[0].conflictLevel, c.level);
    }
}

TEST(TeamPersonCollapse, overlapListsAreUnitedAndNamesOrderedWithoutCase)
{
    const QList<TeamProjectPeer> result = collapsePeersByPerson({
        peer("z", QStringLiteral("Zoe"), Level::awareness, true, 1),
        peer("d1", QStringLiteral("adam"), Level::high, true, 1,
             {QStringLiteral("b"), QStringLiteral("c")}),
        peer("b", QStringLiteral("Bob"), Level::awareness, true, 1),
        peer("d2", QStringLiteral("adam"), Level::critical, true, 1,
             {QStringLiteral("a"), QStringLiteral("b")}),
        peer("t", QStringLiteral("adam "), Level::awareness, true, 1),
    });
    QStringList names;
    for (const TeamProjectPeer &entry : result)
        names.append(entry.memberName);
    // Not trimmed: "adam " is somebody else.
    EXPECT_EQ(names, (QStringList{QStringLiteral("adam"), QStringLiteral("adam "),
                                  QStringLiteral("Bob"), QStringLiteral("Zoe")}));
    EXPECT_EQ(result[0].deviceId, QStringLiteral("d2"));
    EXPECT_EQ(result[0].overlappingFiles,
              (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
}

TEST(TeamPersonCollapse, usageKeepsTheLatestDeviceAndNeverAddsUp)
{
    const QList<TeamProjectUsageMember> later = collapseUsageByPerson({
        usage(QStringLiteral("Zoe"), 1, 10),
        usage(QStringLiteral("zoe"), 2, 20),
        usage(QStringLiteral("Bob"), 3, 30),
        usage(QStringLiteral("BOB"), 3, 40),
    });
    ASSERT_EQ(later.size(), 2);
    EXPECT_EQ(later[0].memberName, QStringLiteral("Bob"));
    EXPECT_EQ(later[0].usage.lifetimeTokens, 30); // equal times: the first stays
    EXPECT_EQ(later[1].memberName, QStringLiteral("zoe"));
    EXPECT_EQ(later[1].usage.lifetimeTokens, 20);
}
