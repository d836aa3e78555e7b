#include "BrowserWorld.h"

#include "data/codex/CodexGlobalStateStore.h"
#include "data/codex/CodexStore.h"
#include "data/catalog/ProjectCatalogStore.h"
#include "data/git/ProjectRepositoryStore.h"
#include "data/catalog/ProjectTagStore.h"
#include "data/token_usage/TokenUsageStore.h"
#include "support/codex/FakeCodexApplicationController.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFileInfo>

namespace tolvaran::fixtures {

BrowserWorld::BrowserWorld()
    : codex(home.filePath(QStringLiteral(".codex")))
    , defaults(home.filePath(QStringLiteral("config/Tolvaran.conf")))
{
}

BrowserWorld::~BrowserWorld()
{
    model.reset(); // waits for its jobs, which use the cache
    metadataCache.reset();
}

QString BrowserWorld::addProject(const QString &name, int chats, bool processing)
{
    const QString path = home.filePath(QStringLiteral("projects/") + name);
    QDir().mkpath(path);
    addProjectAt(path, chats, processing);
    return path;
}

void BrowserWorld::addProjectAt(const QString &path, int chats, bool processing)
{
    const QString name = QFileInfo(path).fileName();
    for (int i = 0; i < chats; ++i) {
        const Timestamp updated = Timestamp::now().addingSeconds(-60.0 * (++m_serial));
        FakeCodexThread thread;
        thread.id = QStringLiteral("%1-%2").arg(name).arg(i);
        thread.cwd = path;
        thread.title = QStringLiteral("Chat %1").arg(i);
        thread.createdAt = updated.addingSeconds(-120);
        thread.updatedAt = updated;
        thread.recencyAt = updated;
        codex.addThread(thread);
        const FakeTurnEnd end =
            processing && i == 0 ? FakeTurnEnd::running : FakeTurnEnd::completed;
        codex.writeRollout(thread.id,
                           FakeCodexHome::threadOpening(thread.createdAt, thread.id, path)
                               + FakeCodexHome::turn(thread.createdAt, QStringLiteral("Go"), end));
        codex.setRolloutModificationTime(thread.id, updated);
        if (end == FakeTurnEnd::running)
            codex.keepRunning(thread.id); // a running turn has a live Codex
    }
}

ProjectListViewModel &BrowserWorld::makeModel(bool sidebarVisible)
{
    codex.writeDatabase();
    const QString support = home.filePath(QStringLiteral("support/Tolvaran"));
    model.reset();
    stores = std::make_unique<StoreSet>(codex, support, defaults);
    defaults.setValue(stores->projectTagStore.sidebarVisibilityKey(), sidebarVisible);
    metadataCache = std::make_unique<ProjectMetadataCache>(support);
    ProjectActionServices services;
    auto fakeDesktop = std::make_unique<FakeDesktopServices>();
    desktop = fakeDesktop.get();
    services.desktop = std::move(fakeDesktop);
    auto launcher = std::make_unique<FakeCodexLauncher>();
    codexLauncher = launcher.get();
    services.codexLauncher = std::move(launcher);
    services.codexApplication = std::make_unique<FakeCodexApplicationController>();
    model = std::make_unique<ProjectListViewModel>(
        stores->listStores(team, *metadataCache),
        std::move(services));
    return *model;
}

bool BrowserWorld::refresh()
{
    auto done = std::make_shared<bool>(false);
    model->refresh([done] { *done = true; });
    return waitUntil([done] { return *done; });
}

} // namespace tolvaran::fixtures
