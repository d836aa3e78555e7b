// Times the card side of a browser render on a page of 2,000 projects (page size "All"):
// building the page's card models, deciding what changed, and handing the result to the card
// grid, painted. First a render that replaces the whole page (a new order), then a render
// in which one visible project's git status changed (one card reloaded), and one in which
// nothing changed. Run offscreen unless a platform is named in the environment.
#include "app/CardReconciliation.h"
#include "app/ProjectCardGrid.h"
#include "app/ProjectCardView.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace tolvaran;

namespace {

constexpr int projectCount = 2000;
constexpr int runs = 7;

// Pages of generated projects that look like a real list: branches, unread and processing
// chats, weekly usage, a behind repository now and then, tags.
QList<BrowserCardModel> generatedPage()
{
    const Timestamp now = Timestamp::now();
    const QList<ProjectTag> tags{{QUuid::createUuid(), QStringLiteral("Client")},
                                 {QUuid::createUuid(), QStringLiteral("Internal")}};
    QList<BrowserCardModel> page;
    page.reserve(projectCount);
    for (int i = 0; i < projectCount; ++i) {
        BrowserCardModel model;
        ProjectCardSnapshot &project = model.project;
        project.path = QStringLiteral("/home/dev/src/project-%1").arg(i, 4, 10, QLatin1Char('0'));
        project.id = project.path;
        project.name = QStringLiteral("project-%1").arg(i);
        project.lastUpdated = now.addingSeconds(-60.0 * i);
        project.threadCount = 1 + i % 37;
        project.isPinned = i % 11 == 0;
        project.notificationCount = i % 5 == 0 ? 2 : 0;
        project.processingCount = i % 13 == 0 ? 1 : 0;
        project.displayBranch = i % 3 == 0 ? QStringLiteral("main") : QStringLiteral("feature/x");
        project.latestThreadID = QStringLiteral("thread-%1").arg(i);
        model.gitStatus = ProjectGitStatus{true, project.displayBranch,
                                           QStringLiteral("origin/main"), 0, i % 17 == 0 ? 2 : 0,
                                           now};
        model.assignedTags = i % 4 == 0 ? QList<ProjectTag>{tags[0]} : QList<ProjectTag>{};
        model.availableTags = tags;
        model.weeklyTokens = i % 2 == 0 ? 1000 * (i % 50) : 0;
        model.weeklyShare = 0.002 * (i % 60);
        model.canRename = true;
        page.append(model);
    }
    return page;
}

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

double milliseconds(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

// The render's card work: models in (copied, as a render builds them anew), reconciled with
// what the grid shows, applied, and what changed painted.
struct Browser
{
    ProjectCardGrid grid;
    QHash<QString, BrowserCardModel> cardModels;
    int configured = 0;

    Browser()
    {
        grid.setItemProvider([this](ProjectCardView &card, const QString &id) {
            card.configure(cardModels.value(id), {});
        });
        QObject::connect(&grid, &ProjectCardGrid::cardConfigured, [this] { ++configured; });
        grid.resize(1280, 900);
        grid.show();
    }

    void render(const QList<BrowserCardModel> &page)
    {
        const QList<BrowserCardModel> models = page; // the render builds its own values
        CardReconciliation result =
            CardReconciliation::reconcile(cardModels, grid.identifiers(), models);
        cardModels = std::move(result.models);
        if (result.replacesContents)
            grid.replaceItems(result.identifiers);
        else if (!result.reloadedIndexes.isEmpty())
            grid.reloadItems(result.reloadedIndexes);
        // Paints what the change left to paint, as the event loop would after the render.
        QApplication::processEvents();
    }
};

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    Browser browser;
    const QList<BrowserCardModel> page = generatedPage();
    QList<BrowserCardModel> reversed = page;
    std::reverse(reversed.begin(), reversed.end());
    browser.render(reversed); // warm up: icons, fonts, the card pool

    std::vector<double> replace, reloadOne, unchanged;
    int replaceConfigured = 0, reloadConfigured = 0, unchangedConfigured = 0;
    QList<BrowserCardModel> current = page;
    for (int run = 0; run < runs; ++run) {
        browser.configured = 0;
        current = run % 2 == 0 ? page : reversed;
        replace.push_back(milliseconds([&] { browser.render(current); }));
        replaceConfigured = browser.configured;

        browser.configured = 0;
        current[1].gitStatus->checkedAt = Timestamp::now(); // a visible card's git re-check
        reloadOne.push_back(milliseconds([&] { browser.render(current); }));
        reloadConfigured = browser.configured;

        browser.configured = 0;
        unchanged.push_back(milliseconds([&] { browser.render(current); }));
        unchangedConfigured = browser.configured;
    }
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    std::printf("card render, page \"All\" of %d projects, grid 1280x900 (median of %d)\n",
                projectCount, runs);
    std::printf("  replace the page (new order):  %8.2f ms  (%d cards configured)\n",
                median(replace), replaceConfigured);
    std::printf("  one card's git status changed: %8.2f ms  (%d card configured)\n",
                median(reloadOne), reloadConfigured);
    std::printf("  nothing changed:               %8.2f ms  (%d cards configured)\n",
                median(unchanged), unchangedConfigured);
    std::printf("  card widgets in existence:     %8lld\n\n",
                static_cast<long long>(browser.grid.findChildren<ProjectCardView *>().size()));
    return 0;
}
