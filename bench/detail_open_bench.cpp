// Times opening a project's detail pane over a coordinator that lists a project with 500 chats
// whose repository holds 2,000 commits: from making the pane's model and view to the first
// painting of its Overview, and to the end of its background load of commits and Markdown
// files; beside the wall time of `git log -n 8` in the same repository (process start
// included), the one git run the load cannot do without. 1280 by 800, offscreen unless the
// environment names a platform.
#include "coordinator/ProjectListViewModel.h"
#include "data/git/ProjectMetadataCache.h"
#include "detail/ProjectDetailView.h"
#include "detail/ProjectDetailViewModel.h"
#include "detail/ProjectOverview.h"
#include "helpers/ListedProject.h"
#include "helpers/NullTeamWorkspace.h"
#include "platform/storage/KeyValueStore.h"
#include "support/BenchFigures.h"
#include "support/BuiltPrograms.h"
#include "support/GitRepositoryBuilder.h"
#include "support/StoreSet.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"
#include "support/codex/FakeCodexHome.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <cstdio>
#include <stdexcept>
#include <vector>

using namespace tolvaran;
using namespace tolvaran::fixtures;
using namespace std::chrono_literals;

namespace {

constexpr int commitCount = 2000;
constexpr int chatCount = 500;
constexpr int runs = 9;

// 2,000 commits in one git run: a fast-import stream, each commit changing one file; the
// last adds a few Markdown files. Then the work tree is checked out.
void writeHistory(const GitRepositoryBuilder &repository)
{
    QByteArray stream;
    for (int index = 1; index <= commitCount; ++index) {
        const QByteArray n = QByteArray::number(index);
        const QByteArray when = QByteArray::number(GitRepositoryBuilder::firstCommitSeconds
                                                   + 60 * qint64(index));
        const QByteArray message = "Change number " + n;
        const QByteArray contents = "line " + n + "\n";
        stream += "commit refs/heads/main\nmark :" + n + "\n";
        stream += "author Ada <ada@example.invalid> " + when + " +0000\n";
        stream += "committer Ada <ada@example.invalid> " + when + " +0000\n";
        stream += "data " + QByteArray::number(message.size()) + "\n" + message + "\n";
        if (index > 1)
            stream += "from :" + QByteArray::number(index - 1) + "\n";
        stream += "M 644 inline src/file" + QByteArray::number(index % 50) + ".txt\n";
        stream += "data " + QByteArray::number(contents.size()) + "\n" + contents + "\n";
        if (index == commitCount) {
            for (const char *name : {"README.md", "docs/guide.md", "docs/notes.md"})
                stream += QByteArray("M 644 inline ") + name + "\ndata 8\n# Title\n\n";
        }
    }
    QProcess git;
    git.start(QStringLiteral("git"), {QStringLiteral("-C"), repository.path(),
                                      QStringLiteral("fast-import"), QStringLiteral("--quiet")});
    git.write(stream);
    git.closeWriteChannel();
    if (!git.waitForFinished(120000) || git.exitCode() != 0)
        throw std::runtime_error("git fast-import failed");
    repository.git({QStringLiteral("checkout"), QStringLiteral("--quiet"), QStringLiteral("-f"),
                    QStringLiteral("main")});
}

double gitLogMilliseconds(const QString &path)
{
    return bench::milliseconds([&path] {
        QProcess git;
        git.start(QStringLiteral("git"), {QStringLiteral("-C"), path, QStringLiteral("log"),
                                          QStringLiteral("-n"), QStringLiteral("8")});
        git.waitForFinished();
        git.readAllStandardOutput();
    });
}

// Records when a widget is first painted.
class PaintWatch final : public QObject
{
public:
    explicit PaintWatch(QElapsedTimer &clock)
        : m_clock(clock)
    {
    }
    qint64 paintedAt = -1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && paintedAt < 0)
            paintedAt = m_clock.nsecsElapsed();
        return QObject::eventFilter(watched, event);
    }

private:
    QElapsedTimer &m_clock;
};

} // namespace

int main(int argc, char *argv[])
{
    tolvaran::fixtures::nameBuiltPictureDecoder();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    TemporaryHome home;
    FakeCodexHome codex(home.filePath(QStringLiteral(".codex")));
    const QString support = home.filePath(QStringLiteral("support"));
    KeyValueStore defaults(home.filePath(QStringLiteral("defaults.conf")));
    ProjectMetadataCache cache(support);
    NullTeamWorkspace team;

    const QString path = home.filePath(QStringLiteral("code/large"));
    GitRepositoryBuilder repository(path);
    writeHistory(repository);
    const Timestamp now = Timestamp::now();
    for (int index = 0; index < chatCount; ++index) {
        FakeCodexThread thread;
        thread.id = QStringLiteral("chat-%1").arg(index);
        thread.cwd = path;
        thread.title = QStringLiteral("Chat number %1").arg(index);
        thread.updatedAt = now.addingSeconds(-60.0 * index);
        thread.createdAt = thread.updatedAt.addingSeconds(-600);
        thread.recencyAt = thread.updatedAt;
        codex.addThread(thread);
    }
    codex.writeDatabase();
    StoreSet stores(codex, support, defaults, QString(), false);
    ProjectListViewModel coordinator(stores.listStores(team, cache));
    const std::optional<CodexProject> project = bench::listedProject(coordinator, path, 600s);
    if (!project)
        return 1;

    std::vector<double> painted, loaded, gitLog;
    qsizetype commitsShown = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        PaintWatch watch(clock);
        clock.start();
        auto model = std::make_unique<ProjectDetailViewModel>(
            *project, coordinator,
            ProjectDetailViewModel::repositoryLoader(stores.repositoryStore));
        auto view = std::make_unique<ProjectDetailView>(*model, std::function<void()>());
        view->overview()->installEventFilter(&watch);
        view->resize(1280, 800);
        view->show();
        while (watch.paintedAt < 0)
            QApplication::processEvents();
        painted.push_back(double(watch.paintedAt) / 1e6);
        while (model->isLoadingDetails())
            QApplication::processEvents();
        loaded.push_back(double(clock.nsecsElapsed()) / 1e6);
        commitsShown = model->details()->commits.size();
        processEventsFor(100ms); // the forced git status refresh that follows
        view.reset();
        model.reset();
        gitLog.push_back(gitLogMilliseconds(path));
    }

    std::printf("detail pane of a project with %d commits and %d chats, 1280x800 (median of %d)\n",
                commitCount, chatCount, runs);
    std::printf("  first painted Overview:          %8.2f ms\n", bench::percentile(painted, 0.5));
    std::printf("  commits and Markdown loaded:     %8.2f ms  (%lld commits listed)\n",
                bench::percentile(loaded, 0.5), static_cast<long long>(commitsShown));
    std::printf("  reference, git log -n 8:         %8.2f ms\n", bench::percentile(gitLog, 0.5));
    return 0;
}
