#include "helpers/RunningApplication.h"

#include "app/window/ContentView.h"
#include "app/cards/ProjectCardGrid.h"
#include "app/TolvaranApp.h"
#include "app/window/TolvaranViewController.h"
#include "app/TolvaranWindow.h"
#include "coordinator/ProjectListViewModel.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QElapsedTimer>

namespace tolvaran::fixtures::bench {

QProcessEnvironment applicationEnvironment(const QString &programHome, const QString &codexHome)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), programHome);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), programHome + QStringLiteral("/data"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                       programHome + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), programHome + QStringLiteral("/cache"));
    environment.insert(QStringLiteral("CODEX_HOME"), codexHome);
    if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // The update check and the team connections go nowhere: nothing listens on port 9.
    environment.insert(QStringLiteral("TOLVARAN_SERVER_URL"),
                       QStringLiteral("http://127.0.0.1:9"));
    return environment;
}

RunningApplication::RunningApplication()
    : m_app(std::make_unique<TolvaranApp>())
{
    watchFirstCards();
    TolvaranWindow &window = m_app->window();
    window.resize(1280, 900);
    window.show();
}

RunningApplication::~RunningApplication() = default;

ProjectListViewModel &RunningApplication::coordinator() const
{
    return m_app->viewModel();
}

void RunningApplication::watchFirstCards()
{
    TolvaranViewController *browser = m_app->window().contentView()->browser();
    if (!browser)
        return;
    // The first card configured is painted in the turn after: its layout is then done.
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(
        browser->collectionView(), &ProjectCardGrid::cardConfigured, browser,
        [this, connection] {
            QObject::disconnect(*connection);
            QMetaObject::invokeMethod(
                &m_app->window(),
                [this] {
                    QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
                    m_app->window().repaint();
                    m_firstCardsPaintedAt = std::chrono::steady_clock::now();
                },
                Qt::QueuedConnection);
        });
}

bool RunningApplication::awaitRefreshAndTokenPass(std::chrono::milliseconds quiet,
                                                  std::chrono::seconds timeout)
{
    const ProjectListViewModel &model = coordinator();
    const bool done = waitUntil(
        [&model] {
            return model.lastRefreshedAt()
                && model.tokenUsageSnapshot().indexedAt >= *model.lastRefreshedAt();
        },
        timeout);
    processEventsFor(quiet);
    return done;
}

double RunningApplication::timedRefresh(std::chrono::milliseconds quiet,
                                        std::chrono::seconds timeout)
{
    const auto done = std::make_shared<bool>(false);
    QElapsedTimer timer;
    timer.start();
    coordinator().refresh([done] { *done = true; });
    waitUntil([done] { return *done; }, timeout);
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    awaitRefreshAndTokenPass(quiet, timeout);
    return elapsed;
}

} // namespace tolvaran::fixtures::bench
