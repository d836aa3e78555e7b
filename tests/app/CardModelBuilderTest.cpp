#include "app/cards/CardModelBuilder.h"
#include "coordinator/CoordinatorWorld.h"
#include "data/git/ProjectMetadataCacheSnapshot.h"
#include "data/catalog/ProjectTagSnapshot.h"
#include "data/catalog/ProjectTagStore.h"
#include "support/team/FixedTeamViewSource.h"
#include "support/QtPrinters.h"
#include "team/view/TeamProjectViewSource.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

// Team values for one shared project: Bo works on it with a high overlap, the team is "Core",
// and the local work there is uncommitted.
FixedTeamViewSource oneSharedProject(const QString &path)
{
    TeamProjectPeer peer;
    peer.deviceId = QStringLiteral("bo-laptop");
    peer.memberName = QStringLiteral("Bo");
    peer.conflictLevel = TeamConflictLevel::high;
    SharedProjectState local;
    local.isDirty = true;
    FixedTeamViewSource team;
    team.summaries.insert(path, TeamProjectSummary{{peer}});
    team.teamNamesByPath.insert(path, {QStringLiteral("Core")});
    team.localActivities.insert(path, local);
    return team;
}

const BrowserCardModel *modelFor(const QList<BrowserCardModel> &models, const QString &path)
{
    for (const BrowserCardModel &model : models) {
        if (model.project.path == path)
            return &model;
    }
    return nullptr;
}

} // namespace

TEST(CardModelBuilder, cardsCollectTheCoordinatorsAndTheTeamsValuesForTheirProject)
{
    CoordinatorWorld world;
    const QString alpha = world.projectFolder(QStringLiteral("alpha"));
    const QString beta = world.projectFolder(QStringLiteral("beta"));
    world.addThread(QStringLiteral("t-alpha"), alpha, 100, FakeTurnEnd::running);
    world.addThread(QStringLiteral("t-beta"), beta, 200);
    world.writeDatabase();

    const ProjectTag clients{QUuid::createUuid(), QStringLiteral("Clients")};
    const ProjectTag urgent{QUuid::createUuid(), QStringLiteral("Urgent")};
    ProjectTagSnapshot tags;
    tags.tags = {clients, urgent};
    tags.projectTagIDsByPath = {{beta, {urgent.id, clients.id}}};
    ProjectTagStore(world.defaults).save(tags);
    ProjectMetadataCacheSnapshot cache = ProjectMetadataCacheSnapshot::empty();
    ProjectGitStatus status;
    status.isRepository = true;
    status.behindCount = 2;
    status.checkedAt = Timestamp::fromSeconds(1.7e9);
    cache.gitStatuses.insert(beta, status);
    QDir().mkpath(world.supportDirectory);
    QFile file(world.supportDirectory + QLatin1Char('/')
               + QLatin1String(ProjectMetadataCache::fileName));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(cache.toJson()).toJson(QJsonDocument::Compact));
    file.close();

    ProjectListViewModel &model = world.makeModel();
    ASSERT_TRUE(world.refresh());
    model.setSelectedProjectID(beta);

    const FixedTeamViewSource team = oneSharedProject(alpha);
    const QList<BrowserCardModel> cards = pageCardModels(model, &team);
    ASSERT_EQ(cards.size(), 2);
    EXPECT_EQ(cards[0].project, model.pagedProjects()[0]);
    const BrowserCardModel *alphaCard = modelFor(cards, alpha);
    const BrowserCardModel *betaCard = modelFor(cards, beta);
    ASSERT_TRUE(alphaCard && betaCard);

    // Codex works in alpha, so no card may rename.
    EXPECT_FALSE(alphaCard->canRename);
    EXPECT_FALSE(betaCard->canRename);
    EXPECT_EQ(betaCard->assignedTags, (QList<ProjectTag>{clients, urgent}));
    EXPECT_TRUE(alphaCard->assignedTags.isEmpty());
    EXPECT_EQ(alphaCard->availableTags, tags.tags);
    EXPECT_EQ(betaCard->gitStatus, status);
    EXPECT_FALSE(alphaCard->gitStatus);
    EXPECT_TRUE(betaCard->isSelected);
    EXPECT_FALSE(alphaCard->isSelected);
    EXPECT_EQ(alphaCard->teamSummary->peerNames(), QStringLiteral("Bo"));
    EXPECT_EQ(alphaCard->teamNames, QStringList{"Core"});
    EXPECT_TRUE(alphaCard->localActivity);
    EXPECT_FALSE(betaCard->teamSummary);
    EXPECT_EQ(betaCard->weeklyTokens, 0);

    // Without a team workspace the cards show no team values.
    for (const BrowserCardModel &card : pageCardModels(model, nullptr)) {
        EXPECT_FALSE(card.teamSummary);
        EXPECT_FALSE(card.localActivity);
        EXPECT_TRUE(card.teamNames.isEmpty());
    }
}
