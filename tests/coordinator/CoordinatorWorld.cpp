#include "CoordinatorWorld.h"

#include "data/codex/CodexGlobalStateStore.h"
#include "data/codex/CodexStore.h"
#include "data/catalog/ProjectCatalogStore.h"
#include "data/git/ProjectRepositoryStore.h"
#include "data/catalog/ProjectTagStore.h"
#include "data/token_usage/TokenUsageStore.h"
#include "support/WaitUntil.h"

#include <QDir>

namespace tolvaran::fixtures {

CoordinatorWorld::CoordinatorWorld()
    : codex(home.filePath(QStringLiteral(".codex")))
    , supportDirectory(home.filePath(QStringLiteral("support/Tolvaran")))
    , defaults(home.filePath(QStringLiteral("config/Tolvaran.conf")))
{
}

CoordinatorWorld::~CoordinatorWorld()
{
    // The coordinator goes first: it waits for its jobs, which use the stores and the cache.
    model.reset();
    metadataCache.reset();
    stores.reset();
}

QString CoordinatorWorld::projectFolder(const QString &name) const
{
    const QString path = home.filePath(QStringLiteral("projects/") + name);
    QDir().mkpath(path);
    return path;
}

FakeCodexThread CoordinatorWorld::threadFor(const QString &id, const QString &cwd,
                                            double ageSeconds)
{
    const Timestamp updated = Timestamp::now().addingSeconds(-ageSeconds);
    FakeCodexThread thread;
    thread.id = id;
    thread.cwd = cwd;
    thread.title = QStringLiteral("Chat ") + id;
    thread.preview = QStringLiteral("Preview of ") + id;
    thread.createdAt = updated.addingSeconds(-60);
    thread.updatedAt = updated;
    thread.recencyAt = updated;
    return thread;
}

QString CoordinatorWorld::addThread(const QString &id, const QString &cwd, double ageSeconds,
                                    FakeTurnEnd end, qint64 tokens)
{
    FakeCodexThread thread = threadFor(id, cwd, ageSeconds);
    thread.tokensUsed = tokens;
    return addThread(thread, end);
}

QString CoordinatorWorld::addThread(const FakeCodexThread &thread, FakeTurnEnd end)
{
    const QString &id = thread.id;
    const qint64 tokens = thread.tokensUsed;
    const Timestamp updated = thread.updatedAt;
    const QString &cwd = thread.cwd;
    const QString rolloutPath = codex.addThread(thread);
    rollout::TokenCount count;
    count.last.input = tokens;
    count.total.input = tokens;
    codex.writeRollout(id, FakeCodexHome::threadOpening(thread.createdAt, id, cwd)
                               + FakeCodexHome::turn(updated.addingSeconds(-30),
                                                     QStringLiteral("Work on ") + id, end, count));
    codex.setRolloutModificationTime(id, updated);
    if (end == FakeTurnEnd::running)
        codex.keepRunning(id); // a running turn has a live Codex
    return rolloutPath;
}

void CoordinatorWorld::writeDatabase(FakeCodexLogState state)
{
    codex.writeDatabase({{}, state});
}

ProjectListViewModel &CoordinatorWorld::makeModel(const QString &gitExecutable,
                                                  ProjectActionServices actionServices)
{
    model.reset();
    metadataCache = std::make_unique<ProjectMetadataCache>(supportDirectory);
    stores = std::make_unique<StoreSet>(codex, supportDirectory, defaults, gitExecutable);
    model = std::make_unique<ProjectListViewModel>(
        stores->listStores(team, *metadataCache),
        std::move(actionServices));
    QObject::connect(model.get(), &ProjectListViewModel::objectWillChange, model.get(), [this] {
        if (model->lastRefreshedAt() != m_lastRefreshedAt) {
            m_lastRefreshedAt = model->lastRefreshedAt();
            ++m_fullRefreshCount;
        }
    });
    return *model;
}

namespace {

bool runToCompletion(const std::function<void(ProjectListViewModel::Completion)> &operation)
{
    // Shared: a completion that comes after a failed wait must not write to a gone frame.
    const auto done = std::make_shared<bool>(false);
    operation([done] { *done = true; });
    return waitUntil([done] { return *done; });
}

} // namespace

bool CoordinatorWorld::refresh()
{
    return runToCompletion([this](auto done) { model->refresh(std::move(done)); });
}

bool CoordinatorWorld::refreshProcessingStatus()
{
    return runToCompletion(
        [this](auto done) { model->refreshProcessingStatus(std::move(done)); });
}

bool CoordinatorWorld::startMonitoring()
{
    return runToCompletion([this](auto done) { model->startMonitoring(std::move(done)); });
}

const CodexProject *CoordinatorWorld::projectAt(const QString &path) const
{
    for (const CodexProject &project : model->projects()) {
        if (project.path() == path)
            return &project;
    }
    return nullptr;
}

bool CoordinatorWorld::isProcessing(const QString &path) const
{
    const CodexProject *project = projectAt(path);
    return project && !project->processingThreadIDs().isEmpty();
}

} // namespace tolvaran::fixtures
