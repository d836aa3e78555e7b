// Shows a project's detail pane on its Overview with teammates (one connected at a critical
// overlap with changed files, Codex running; one disconnected with saved work), their usage
// with and without a plan cost, and what this device shares; in a light or dark palette.
// Writes what the window shows to a PNG file, for scripts/team-detail-screenshots.sh:
//   team_detail_screenshot OUTPUT.png light|dark [WIDTH HEIGHT]
// The team values come from a fixed source until the team workspace feeds the pane.
#include "app/ApplicationSetUp.h"
#include "coordinator/ProjectListViewModel.h"
#include "data/git/ProjectMetadataCache.h"
#include "detail/ProjectDetailView.h"
#include "detail/ProjectDetailViewModel.h"
#include "helpers/ListedProject.h"
#include "helpers/NullTeamWorkspace.h"
#include "helpers/ScreenshotLook.h"
#include "platform/storage/KeyValueStore.h"
#include "support/BuiltPrograms.h"
#include "support/GitRepositoryBuilder.h"
#include "support/StoreSet.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"
#include "support/codex/FakeCodexHome.h"
#include "support/team/FixedTeamViewSource.h"

#include <QApplication>
#include <QPixmap>

#include <cstdio>
#include <cstring>

using namespace tolvaran;
using namespace tolvaran::fixtures;
using namespace std::chrono_literals;

namespace {

// Long enough for the pane's load of commits and the git status that follows.
constexpr auto settleTime = 1500ms;

TeamProjectUsageMember usage(const QString &name, qint64 lifetime, qint64 weekly,
                             double percent, std::optional<double> cost, bool connected)
{
    TeamProjectUsageMember member;
    member.memberName = name;
    member.usage = {lifetime, weekly, percent, cost};
    member.serverUpdatedAt = Timestamp::now();
    member.isConnected = connected;
    return member;
}

void fillTeamValues(FixedTeamViewSource &source, const QString &path)
{
    source.usageSummaries.insert(
        path, {{usage(QStringLiteral("Grace"), 18'400'000, 2'150'000, 37.5, 41.2, true),
                usage(QStringLiteral("Linus <dev>"), 950, 0, 0, std::nullopt, false),
                usage(QStringLiteral("Ada"), 4'600'000, 610'000, 12.25, 9.75, true)}});

    TeamProjectPeer grace;
    grace.deviceId = QStringLiteral("grace-laptop");
    grace.memberName = QStringLiteral("Grace");
    grace.project.repositoryName = QStringLiteral("orbit");
    grace.project.branch = QStringLiteral("feature/sync-engine");
    grace.project.isDirty = true;
    grace.project.isCodexProcessing = true;
    grace.project.additions = 214;
    grace.project.deletions = 37;
    grace.project.workSummary =
        QStringLiteral("Reworking the sync engine's retry queue and its <Config> parser.");
    for (int index = 0; index < 14; ++index)
        grace.project.changedFiles.append(QStringLiteral("src/sync/part%1.cpp").arg(index));
    grace.project.changedFiles.append(QStringLiteral("src/config/parser.cpp"));
    grace.overlappingFiles = {QStringLiteral("src/config/parser.cpp"),
                              QStringLiteral("src/sync/part3.cpp")};
    grace.conflictLevel = TeamConflictLevel::critical;
    grace.serverUpdatedAt = Timestamp::now();
    grace.isConnected = true;

    TeamProjectPeer linus;
    linus.deviceId = QStringLiteral("linus-desktop");
    linus.memberName = QStringLiteral("Linus <dev>");
    linus.project.repositoryName = QStringLiteral("orbit");
    linus.project.isCodexProcessing = true;
    linus.conflictLevel = TeamConflictLevel::awareness;
    linus.serverUpdatedAt = Timestamp::now().addingSeconds(-3 * 3600);
    linus.isConnected = false;
    source.summaries.insert(path, {{grace, linus}});

    SharedProjectState mine;
    mine.repositoryName = QStringLiteral("orbit");
    mine.branch = QStringLiteral("main");
    mine.isDirty = true;
    mine.additions = 12;
    mine.deletions = 3;
    mine.changedFiles = {QStringLiteral("src/config/parser.cpp"),
                         QStringLiteral("src/sync/part3.cpp"), QStringLiteral("README.md")};
    mine.workSummary = QStringLiteral("Tightening the config parser's error messages.");
    source.localActivities.insert(path, mine);
}

} // namespace

int main(int argc, char *argv[])
{
    tolvaran::fixtures::nameBuiltPictureDecoder();
    if (argc < 3 || (std::strcmp(argv[2], "light") != 0 && std::strcmp(argv[2], "dark") != 0)) {
        std::fprintf(stderr, "usage: team_detail_screenshot OUTPUT.png light|dark "
                             "[WIDTH HEIGHT]\n");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    const bool dark = std::strcmp(argv[2], "dark") == 0;
    const int width = argc > 4 ? std::atoi(argv[3]) : 1280;
    const int height = argc > 4 ? std::atoi(argv[4]) : 1500;
    QApplication application(argc, argv);
    setUpApplication(QString());
    bench::useFusionLook(dark);

    TemporaryHome home;
    FakeCodexHome codex(home.filePath(QStringLiteral(".codex")));
    const QString support = home.filePath(QStringLiteral("support"));
    KeyValueStore defaults(home.filePath(QStringLiteral("defaults.conf")));
    ProjectMetadataCache cache(support);
    NullTeamWorkspace team;
    const QString path = home.filePath(QStringLiteral("code/orbit"));
    GitRepositoryBuilder repository(path);
    repository.writeFile(QStringLiteral("README.md"), "# Orbit\n");
    repository.commitAll(QStringLiteral("Start the project"));
    FakeCodexThread thread;
    thread.id = QStringLiteral("chat-1");
    thread.cwd = path;
    thread.title = QStringLiteral("Tighten the config parser");
    thread.updatedAt = Timestamp::now().addingSeconds(-600);
    thread.createdAt = thread.updatedAt;
    thread.recencyAt = thread.updatedAt;
    codex.addThread(thread);
    codex.writeDatabase();
    StoreSet stores(codex, support, defaults, QString(), false);
    ProjectListViewModel coordinator(stores.listStores(team, cache));
    const std::optional<CodexProject> project = bench::listedProject(coordinator, path, 60s);
    if (!project)
        return 1;

    FixedTeamViewSource teamViews;
    fillTeamValues(teamViews, path);
    ProjectDetailViewModel model(*project, coordinator,
                                 ProjectDetailViewModel::repositoryLoader(stores.repositoryStore));
    model.followTeam(teamViews, team);
    ProjectDetailView view(model, {});
    view.resize(width, height);
    view.show();
    processEventsFor(settleTime);
    if (!view.grab().save(output)) {
        std::fprintf(stderr, "could not write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
