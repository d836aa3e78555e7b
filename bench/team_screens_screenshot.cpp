// The team screens on a local team server, each written to a PNG file for the screenshot
// script (scripts/team-screens-screenshots.sh), in the Fusion style with its light palette, or
// its dark one when asked:
//   team_screens_screenshot OUTDIR [dark]
// OUTDIR/team-join.png (the join sheet after a refused key), team-dashboard-settings.png,
// team-dashboard-projects.png, team-dashboard-people.png, team-dashboard-commits.png,
// team-dashboard-empty.png (no team selected) and team-leave.png (the leave question); then
// the dashboard on each tab at the widths of narrow windows, 400, 500 and 800 pixels
// (team-dashboard-400-settings.png, ...), and scrolled to its end where it scrolls
// (team-dashboard-400-settings-scrolled.png, ...).
#include "app/ApplicationSetUp.h"
#include "helpers/ScreenshotLook.h"
#include "team_screens/TeamScreensWorld.h"
#include "team_screens/TeamSettingsView.h"
#include "team_screens/TeamsDashboardView.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>

#include <cstdio>

namespace {

using namespace tolvaran;
using tolvaran::fixtures::processEventsFor;
using tolvaran::fixtures::waitUntil;

constexpr int dashboardWidth = 1100;
constexpr int dashboardHeight = 720;
// Narrow windows: the browser's least width and two more, at the window's least height less
// its menu.
constexpr int narrowWidths[] = {400, 500, 800};
constexpr int narrowHeight = 650;
constexpr std::chrono::milliseconds settleTime{300};

bool write(QWidget &widget, const QString &path)
{
    processEventsFor(settleTime);
    const bool written = widget.grab().save(path);
    std::printf("%s %s\n", written ? "wrote" : "could not write", qPrintable(path));
    return written;
}

TeamCommitEvent commit(int index, qint64 minutesAgo)
{
    static const char *const subjects[] = {
        "Retry the upload when the token expires", "Show the sync state in the footer",
        "Fix the crash on an empty project list", "Bump the parser to 2.4",
        "Explain the cache layout in the README"};
    static const char *const people[] = {"Bo Lindqvist", "Cy Moreau", "Dee Okafor"};
    return teamCommit(QString::number(index), QString::fromUtf8(people[index % 3]),
                      index % 2 ? QStringLiteral("delta-sync") : QStringLiteral("api-gateway"),
                      QString::fromUtf8(subjects[index % 5]),
                      QDateTime::currentMSecsSinceEpoch() - minutesAgo * 60 * 1000);
}

} // namespace

int main(int argc, char *argv[])
{
    const bool dark = argc == 3 && qstrcmp(argv[2], "dark") == 0;
    if (argc != 2 && !dark) {
        std::fprintf(stderr, "usage: team_screens_screenshot OUTDIR [dark]\n");
        return 2;
    }
    QApplication application(argc, argv);
    setUpApplication(QString());
    fixtures::bench::useFusionLook(dark);
    const QString outdir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outdir);

    fixtures::LocalTeamServer server;
    if (!server.listen())
        return 1;
    fixtures::ScopedEnvironment environment;
    environment.set(teamServerURLVariable, server.baseUrl().toUtf8());
    const QString teamId = server.createTeam(QStringLiteral("Platform Crew"),
                                             fixtures::teamKeys::alpha);
    server.team(teamId).legacyKeyEnabled = false;
    fixtures::TemporaryHome home;
    fixtures::ManualTeamClock clock;
    KeyValueStore defaults(home.filePath(QStringLiteral("defaults.ini")));
    ProjectMetadataCache cache{QString()};
    FakeScreenWorkspace workspace(defaults, home.filePath(QStringLiteral("support")), cache,
                                  clock);

    // This device, the team's owner, and three teammates; one of them has no installation.
    FixedScreenTeam *team = workspace.addListedTeam(QStringLiteral("platform"));
    TeamSettingsStore &settings = team->settings();
    settings.setMemberName(QStringLiteral("Ada Svensson"));
    settings.setTeamName(QStringLiteral("Platform Crew"));
    settings.setEnabled(true);
    settings.save(fixtures::teamKeys::alpha);
    settings.saveInstallation(teamId,
                              server.registerDevice(teamId, settings.deviceID(),
                                                    settings.memberName(),
                                                    TeamInstallationRole::owner),
                              TeamInstallationRole::owner);
    server.registerDevice(teamId, QStringLiteral("bo"), QStringLiteral("Bo Lindqvist"),
                          TeamInstallationRole::admin);
    server.registerDevice(teamId, QStringLiteral("cy"), QStringLiteral("Cy Moreau"),
                          TeamInstallationRole::member);
    server.team(teamId).installations[2].appVersion = QStringLiteral("26.8.70");
    shareProjects(server, teamId, cache,
                  {QStringLiteral("/home/ada/code/api-gateway"),
                   QStringLiteral("/home/ada/code/delta-sync"),
                   QStringLiteral("/home/ada/work/clients/delta-sync")},
                  QStringLiteral("Bo Lindqvist"));
    injectTeammate(server, teamId, QStringLiteral("dee-laptop"), QStringLiteral("Dee Okafor"));
    // The server lists the latest first.
    for (int index = 6; index >= 0; --index)
        server.injectCommit(teamId, commit(index, 5 + index * 170));
    team->service().reconfigure();
    if (!waitUntil([&] { return team->service().sharedProjectPaths().size() == 3; }))
        return 1;

    // A second team, still connecting.
    FixedScreenTeam *other = workspace.addListedTeam(QStringLiteral("design"));
    other->settings().setMemberName(QStringLiteral("Ada"));
    other->settings().setTeamName(QStringLiteral("Design Review"));
    other->settings().setEnabled(true);
    other->settings().save(fixtures::teamKeys::beta);
    other->service().reconfigure();

    bool ok = true;
    TeamsDashboardView dashboard(workspace, [] {});
    dashboard.resize(dashboardWidth, dashboardHeight);
    dashboard.show();
    const std::pair<TeamDashboardTab, const char *> tabs[] = {
        {TeamDashboardTab::settings, "settings"},
        {TeamDashboardTab::projects, "projects"},
        {TeamDashboardTab::people, "people"},
        {TeamDashboardTab::commits, "commits"}};
    for (const auto &[tab, name] : tabs) {
        dashboard.selectTab(tab);
        ok &= write(dashboard, outdir + QStringLiteral("/team-dashboard-%1.png")
                                            .arg(QString::fromLatin1(name)));
    }

    for (const int width : narrowWidths) {
        dashboard.resize(width, narrowHeight);
        for (const auto &[tab, name] : tabs) {
            dashboard.selectTab(tab);
            const QString shot = outdir
                + QStringLiteral("/team-dashboard-%1-%2").arg(width).arg(QString::fromLatin1(name));
            ok &= write(dashboard, shot + QStringLiteral(".png"));
            // Where the tab scrolls, its end too.
            for (QScrollArea *area : dashboard.findChildren<QScrollArea *>()) {
                if (area->isVisible() && area->verticalScrollBar()->maximum() > 0) {
                    area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
                    ok &= write(dashboard, shot + QStringLiteral("-scrolled.png"));
                    area->verticalScrollBar()->setValue(0);
                }
            }
        }
    }
    dashboard.resize(dashboardWidth, dashboardHeight);

    dashboard.selectTab(TeamDashboardTab::settings);
    dashboard.askToRemove(team);
    processEventsFor(settleTime);
    if (QMessageBox *alert = dashboard.removalAlert())
        ok &= write(*alert, outdir + QStringLiteral("/team-leave.png"));
    if (QMessageBox *alert = dashboard.removalAlert())
        alert->reject();

    dashboard.addTeam();
    if (TeamSettingsView *sheet = dashboard.joinSheet()) {
        // As pasted: insert() counts as the user's edit.
        auto *memberName = sheet->findChild<QLineEdit *>(QStringLiteral("memberNameField"));
        memberName->selectAll();
        memberName->insert(QStringLiteral("Ada"));
        sheet->findChild<QLineEdit *>(QStringLiteral("teamKeyField"))
            ->insert(QStringLiteral("an-unregistered-key-of-forty-characters!"));
        sheet->save();
        waitUntil([sheet] { return !sheet->isWorking(); });
        ok &= write(*sheet, outdir + QStringLiteral("/team-join.png"));
        sheet->closeSheet();
    }

    workspace.selectManagementTeam(QStringLiteral("nothing"));
    ok &= write(dashboard, outdir + QStringLiteral("/team-dashboard-empty.png"));
    return ok ? 0 : 1;
}
