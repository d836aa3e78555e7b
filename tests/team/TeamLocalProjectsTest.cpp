#include "TeamPresenceWorld.h"

#include "team/presence/TeamPresenceRules.h"

#include <QJsonArray>

using namespace std::chrono_literals;
using tolvaran::LocalTeamProjectSource;
using tolvaran::ProjectRepositoryStore;
using tolvaran::fixtures::waitUntil;

namespace {

const QString appPath = QStringLiteral("/work/app");
const QString toolsPath = QStringLiteral("/work/tools");
const QString notesPath = QStringLiteral("/work/notes");
const QString appRemote = QStringLiteral("https://example.com/core/app.git");
const QString toolsRemote = QStringLiteral("git@example.com:core/tools.git");

QString repositoryIdOf(const QString &remote)
{
    return ProjectRepositoryStore::repositoryIdentity(
               *ProjectRepositoryStore::normalizedRemote(remote))
        ->id;
}

LocalTeamProjectSource source(const QString &path, std::optional<QString> remote,
                              bool processing = false)
{
    LocalTeamProjectSource source;
    source.path = path;
    source.gitOriginURL = std::move(remote);
    source.isCodexProcessing = processing;
    source.recencyAt = tolvaran::Timestamp::fromSeconds(1'700'000'000);
    return source;
}

} // namespace

TEST_F(TeamPresenceWorld, projectListGivesPlaceholdersAndKeepsScannedStatesOfItsPaths)
{
    // A scanned, dirty state of a project whose origin the list does not know, and one of a
    // project that is not in the list at all.
    tolvaran::LocalTeamProjectState notes;
    notes.shared = project(QStringLiteral("repository-notes"), QStringLiteral("notes"));
    tolvaran::LocalTeamProjectState gone;
    gone.shared = project(QStringLiteral("repository-gone"), QStringLiteral("gone"));
    cache.setTeamStates({{notesPath, notes}, {QStringLiteral("/work/gone"), gone}});
    service->reconfigure();
    EXPECT_TRUE(service->localActivityByPath().contains(QStringLiteral("/work/gone")));

    service->updateProjects({source(appPath, appRemote), source(toolsPath, toolsRemote),
                             source(notesPath, std::nullopt)});
    ASSERT_TRUE(waitUntil([&] { return service->localActivityByPath().size() == 3; }));
    const auto activity = service->localActivityByPath();
    EXPECT_EQ(activity.value(appPath).repositoryId, repositoryIdOf(appRemote));
    EXPECT_EQ(activity.value(appPath).repositoryName, QStringLiteral("app"));
    EXPECT_FALSE(activity.value(appPath).isDirty);
    EXPECT_EQ(activity.value(toolsPath).repositoryId, repositoryIdOf(toolsRemote));
    EXPECT_EQ(activity.value(notesPath), notes.shared);
    EXPECT_FALSE(activity.contains(QStringLiteral("/work/gone")));

    // A clean, idle placeholder is published but is no activity; a dirty state is.
    EXPECT_FALSE(service->localActivity(appPath).has_value());
    EXPECT_EQ(service->localActivity(notesPath), notes.shared);
    EXPECT_FALSE(service->localActivity(QStringLiteral("/elsewhere")).has_value());

    // Codex starting in a project shows at once, in the placeholder and the scanned state.
    service->updateProjects({source(appPath, appRemote, true), source(toolsPath, toolsRemote),
                             source(notesPath, std::nullopt, true)});
    ASSERT_TRUE(waitUntil([&] { return service->localActivity(appPath).has_value(); }));
    ASSERT_TRUE(waitUntil(
        [&] { return service->localActivity(notesPath)->isCodexProcessing; }));
    EXPECT_EQ(service->localActivity(notesPath)->changedFiles, notes.shared.changedFiles);

    // A project leaving the list leaves the published picture.
    service->updateProjects({source(appPath, appRemote, true)});
    ASSERT_TRUE(waitUntil([&] { return service->localActivityByPath().size() == 1; }));
    EXPECT_TRUE(service->localActivityByPath().contains(appPath));
}

TEST_F(TeamPresenceWorld, onlyAChangedProjectListIsSentAndTheLatestListWins)
{
    registerDirectly();
    const QString appWireID = tolvaran::TeamPresenceRules::wireRepositoryID(
        teamId, repositoryIdOf(appRemote));
    server.team(teamId).overlapOverride = QStringList{appWireID};
    connect();
    settle();
    const qsizetype before = stateFrames().size();
    const auto lastInventory = [&] {
        return json(stateFrames().constLast()).value(QLatin1String("repositoryIds")).toArray();
    };

    // Two lists in quick succession: the second one's placeholders, then one message.
    service->updateProjects({source(toolsPath, toolsRemote)});
    service->updateProjects({source(appPath, appRemote)});
    ASSERT_TRUE(waitUntil([&] { return stateFrames().size() > before; }));
    settle();
    ASSERT_EQ(stateFrames().size(), before + 1);
    EXPECT_EQ(lastInventory(), QJsonArray{appWireID});
    EXPECT_EQ(service->localActivityByPath().keys(), QStringList{appPath});

    // The same list again changes nothing and sends nothing.
    service->updateProjects({source(appPath, appRemote)});
    settle();
    EXPECT_EQ(stateFrames().size(), before + 1);

    // The same projects in another order, or a newer request alone, is a new list; what it
    // publishes is the same, so nothing more goes out.
    auto newer = source(appPath, appRemote);
    newer.latestUserRequest = QStringLiteral("Add the export");
    service->updateProjects({newer, source(toolsPath, toolsRemote)});
    ASSERT_TRUE(waitUntil([&] { return service->localActivityByPath().size() == 2; }));
    service->updateProjects({source(toolsPath, toolsRemote), newer});
    settle();
    EXPECT_EQ(service->localActivityByPath().size(), 2);
}
