// Times the browser's render over a coordinator that lists 2,000 projects on one page (page
// size "All"), in a 1280 by 900 window: the render that fills the grid, one that replaces it
// (a new sort order), one in which a single card changed (the selection moved to a project
// from none), one in which no card changed, one project's git status beside a full page
// render that changes nothing. Each is timed from the change to the end of
// the render, and to the end of the painting that follows. Then scrolling the page a screen
// at a time. Offscreen unless the environment names a platform.
#include "app/cards/CardModelBuilder.h"
#include "app/cards/CardReconciliation.h"
#include "app/cards/ProjectCardGrid.h"
#include "app/cards/ProjectCardView.h"
#include "app/window/TolvaranViewController.h"
#include "coordinator/ProjectListViewModel.h"
#include "data/codex/CodexGlobalStateStore.h"
#include "data/codex/CodexStore.h"
#include "helpers/NullTeamWorkspace.h"
#include "data/catalog/ProjectCatalogStore.h"
#include "data/git/ProjectMetadataCache.h"
#include "data/git/ProjectRepositoryStore.h"
#include "data/catalog/ProjectTagStore.h"
#include "data/token_usage/TokenUsageStore.h"
#include "platform/storage/KeyValueStore.h"
#include "support/codex/FakeCodexHome.h"
#include "support/FakeFolderPicker.h"
#include "support/StoreSet.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

using namespace tolvaran;
using namespace tolvaran::fixtures;
using namespace std::chrono_literals;

namespace {

constexpr int projectCount = 2000;
constexpr int runs = 7;

struct Timing
{
    double render = 0.0;  // change to the end of the render
    double painted = 0.0; // change to the end of the painting that follows
    int configured = 0;   // cards the render configured
};

// A coordinator over a generated home with one chat per project, and the browser over it.
struct World
{
    World()
        : codex(home.filePath(QStringLiteral(".codex")))
        , support(home.filePath(QStringLiteral("support")))
        , defaults(home.filePath(QStringLiteral("defaults.conf")))
        , cache(support)
    {
        FakeCodexGeneration generation;
        generation.threadCount = projectCount;
        generation.rolloutCount = 200;
        generation.projectCount = projectCount;
        generation.archivedEvery = 0;
        codex.generate(generation);
        codex.writeDatabase();
        // No token index: its passes over the rollouts would run beside the renders.
        stores = std::make_unique<StoreSet>(codex, support, defaults, QString(), false);
        model = std::make_unique<ProjectListViewModel>(stores->listStores(team, cache));
        const auto done = std::make_shared<bool>(false);
        model->refresh([done] { *done = true; });
        waitUntil([done] { return *done; }, 600s);

        browser = std::make_unique<TolvaranViewController>(*model, team, folderPicker,
                                                           [](const QString &) {});
        QObject::connect(browser.get(), &TolvaranViewController::rendered,
                         [this] { renderedAt = clock.nsecsElapsed(); });
        QObject::connect(browser->collectionView(), &ProjectCardGrid::cardConfigured,
                         [this] { ++configured; });
        browser->resize(1280, 900);
        browser->show();
        settle();
    }

    ~World()
    {
        browser.reset();
        model.reset(); // waits for its jobs, which use the cache
    }

    void settle() { processEventsFor(200ms); }

    Timing time(const std::function<void()> &change)
    {
        settle();
        configured = 0;
        renderedAt = -1;
        clock.start();
        change();
        while (renderedAt < 0)
            QApplication::processEvents();
        const qint64 rendered = renderedAt;
        // What the render left to lay out and paint.
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return {double(rendered) / 1e6, double(clock.nsecsElapsed()) / 1e6, configured};
    }

    TemporaryHome home;
    FakeCodexHome codex;
    QString support;
    KeyValueStore defaults;
    ProjectMetadataCache cache;
    NullTeamWorkspace team;
    FakeFolderPicker folderPicker;
    std::unique_ptr<StoreSet> stores;
    std::unique_ptr<ProjectListViewModel> model;
    std::unique_ptr<TolvaranViewController> browser;
    QElapsedTimer clock;
    qint64 renderedAt = -1;
    int configured = 0;
};

Timing median(std::vector<Timing> samples)
{
    std::sort(samples.begin(), samples.end(),
              [](const Timing &a, const Timing &b) { return a.render < b.render; });
    Timing result = samples[samples.size() / 2];
    std::vector<double> painted;
    for (const Timing &sample : samples)
        painted.push_back(sample.painted);
    std::sort(painted.begin(), painted.end());
    result.painted = painted[painted.size() / 2];
    return result;
}

void print(const char *what, const Timing &timing)
{
    std::printf("  %-34s %8.2f ms  %8.2f ms painted  (cards configured: %d)\n", what,
                timing.render, timing.painted, timing.configured);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    World world;
    ProjectListViewModel &model = *world.model;
    const Timing fill = world.time([&] { model.setPageSize(ProjectPageSize::all); });

    std::vector<Timing> replace, oneCard, nothing, oneStatus, fullPass;
    qint64 oneStatusBuilt = 0;
    qint64 fullPassBuilt = 0;
    for (int run = 0; run < runs; ++run) {
        replace.push_back(world.time([&] {
            model.setSortMode(run % 2 == 0 ? ProjectSortMode::name : ProjectSortMode::recent);
        }));
        model.setSelectedProjectID(std::nullopt);
        world.settle();
        oneCard.push_back(
            world.time([&] { model.setSelectedProjectID(model.pagedProjects().at(1).id); }));
        nothing.push_back(world.time([&] {
            model.setStatusMessage(QStringLiteral("Run ") + QString::number(run));
        }));
        // One project's change: its git status, read in the background (the generated
        // folders do not exist, so no git is started), redraws its card alone.
        qint64 before = world.browser->cardModelBuildCount();
        oneStatus.push_back(world.time(
            [&] { model.refreshGitStatus(model.pagedProjects().at(1).path, true); }));
        oneStatusBuilt += world.browser->cardModelBuildCount() - before;
        before = world.browser->cardModelBuildCount();
        fullPass.push_back(world.time([&] { world.browser->scheduleRender(); }));
        fullPassBuilt += world.browser->cardModelBuildCount() - before;
    }

    std::printf("browser render, page \"All\" of %lld projects, window 1280x900 (median of %d)\n",
                static_cast<long long>(model.pagedProjects().size()), runs);
    print("fill the grid (page size All):", fill);
    print("replace the page (new order):", median(replace));
    print("one card changed (selection):", median(oneCard));
    print("nothing changed:", median(nothing));
    print("one project's git status:", median(oneStatus));
    print("full page render, no change:", median(fullPass));
    std::printf("  card models built: one project's change %.1f, full page render %.1f\n",
                double(oneStatusBuilt) / runs, double(fullPassBuilt) / runs);
    std::vector<double> building, comparing;
    for (int run = 0; run < runs; ++run) {
        QList<BrowserCardModel> models;
        QElapsedTimer timer;
        timer.start();
        models = pageCardModels(model, nullptr);
        building.push_back(double(timer.nsecsElapsed()) / 1e6);
        QHash<QString, BrowserCardModel> previous;
        for (const BrowserCardModel &card : models)
            previous.insert(card.project.id, card);
        QStringList ids = previous.keys();
        for (qsizetype i = 0; i < models.size(); ++i)
            ids[i] = models[i].project.id;
        timer.start();
        CardReconciliation::reconcile(previous, ids, std::move(models));
        comparing.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(building.begin(), building.end());
    std::sort(comparing.begin(), comparing.end());
    std::printf("  of which: building the page's card models %.2f ms, comparing them %.2f ms\n",
                building[building.size() / 2], comparing[comparing.size() / 2]);
    // Scrolling the full page a screen at a time: only the rows coming into view are
    // configured, from the cards that left it.
    ProjectCardGrid *grid = world.browser->collectionView();
    world.settle();
    std::vector<double> scrolling;
    int scrolledConfigured = 0;
    for (int step = 1; step <= 40; ++step) {
        world.configured = 0;
        QElapsedTimer timer;
        timer.start();
        grid->setScrollOffset(step * grid->viewport()->height());
        QApplication::processEvents();
        scrolling.push_back(double(timer.nsecsElapsed()) / 1e6);
        scrolledConfigured += world.configured;
    }
    std::sort(scrolling.begin(), scrolling.end());
    std::printf("  %-34s %8.2f ms painted, median of 40 (%.1f cards configured each)\n",
                "scroll down by one screen:", scrolling[scrolling.size() / 2],
                double(scrolledConfigured) / 40.0);

    std::printf("  card widgets in existence: %lld\n\n",
                static_cast<long long>(
                    world.browser->findChildren<ProjectCardView *>().size()));
    return 0;
}
