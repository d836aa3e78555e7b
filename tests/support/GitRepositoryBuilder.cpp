#include "support/GitRepositoryBuilder.h"

#include "platform/ProcessRunner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <mutex>
#include <stdexcept>

namespace tolvaran::fixtures {

namespace {

QString runGit(const QStringList &arguments,
               const QList<QPair<QString, QString>> &environment = {})
{
    ProcessRequest request;
    request.program = ProcessRunner::findExecutable(QStringLiteral("git"),
                                                    {QStringLiteral("/usr/bin/git")});
    request.arguments = arguments;
    request.environment = environment;
    request.timeoutMilliseconds = 60'000;
    const ProcessResult result = ProcessRunner::run(request);
    if (!result.succeeded()) {
        throw std::runtime_error("git " + arguments.join(QLatin1Char(' ')).toStdString()
                                 + " failed: " + result.standardError.toStdString());
    }
    return QString::fromUtf8(result.standardOutput);
}

} // namespace

void GitRepositoryBuilder::isolateGitConfiguration()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Lives as long as the test program: the configuration every git run reads.
        static QTemporaryDir folder(QDir::tempPath()
                                    + QStringLiteral("/tolvaran-git-config-XXXXXX"));
        const QString config = folder.path() + QStringLiteral("/gitconfig");
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly)
            || file.write("[user]\n\tname = Test Builder\n\temail = builder@example.invalid\n"
                          "[init]\n\tdefaultBranch = main\n"
                          "[commit]\n\tgpgsign = false\n"
                          "[core]\n\tautocrlf = false\n\tfsmonitor = false\n"
                          "[advice]\n\tdetachedHead = false\n")
                   < 0) {
            throw std::runtime_error("could not write the test git configuration");
        }
        file.close();
        qputenv("GIT_CONFIG_NOSYSTEM", "1");
        qputenv("GIT_CONFIG_GLOBAL", QFile::encodeName(config));
        qunsetenv("GIT_DIR");
        qunsetenv("GIT_WORK_TREE");
        qunsetenv("GIT_INDEX_FILE");
    });
}

GitRepositoryBuilder::GitRepositoryBuilder(QString path)
    : m_path(std::move(path))
{
    isolateGitConfiguration();
    if (!QDir().mkpath(m_path))
        throw std::runtime_error("could not create a repository folder");
    runGit({QStringLiteral("init"), QStringLiteral("--quiet"), QStringLiteral("-b"),
            QStringLiteral("main"), m_path});
}

GitRepositoryBuilder::GitRepositoryBuilder(QString path, Existing)
    : m_path(std::move(path))
{
}

GitRepositoryBuilder GitRepositoryBuilder::bare(const QString &path)
{
    isolateGitConfiguration();
    runGit({QStringLiteral("init"), QStringLiteral("--quiet"), QStringLiteral("--bare"),
            QStringLiteral("-b"), QStringLiteral("main"), path});
    return GitRepositoryBuilder(path, Existing{});
}

GitRepositoryBuilder GitRepositoryBuilder::clone(const QString &remote, const QString &path)
{
    isolateGitConfiguration();
    runGit({QStringLiteral("clone"), QStringLiteral("--quiet"), remote, path});
    return GitRepositoryBuilder(path, Existing{});
}

QString GitRepositoryBuilder::git(const QStringList &arguments) const
{
    return runGit(QStringList{QStringLiteral("-C"), m_path} + arguments);
}

QString GitRepositoryBuilder::writeFile(const QString &relative, const QByteArray &contents) const
{
    const QString filePath = m_path + QLatin1Char('/') + relative;
    QDir().mkpath(QFileInfo(filePath).absolutePath());
    QFile file(filePath);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        throw std::runtime_error("could not write a file into a test repository");
    return filePath;
}

QString GitRepositoryBuilder::commitAll(const QString &subject, const QString &author)
{
    git({QStringLiteral("add"), QStringLiteral("--all")});
    const QString date =
        QStringLiteral("@%1 +0000").arg(firstCommitSeconds + 60 * qint64(m_commitCount++));
    runGit({QStringLiteral("-C"), m_path, QStringLiteral("commit"), QStringLiteral("--quiet"),
            QStringLiteral("--allow-empty"), QStringLiteral("--allow-empty-message"),
            QStringLiteral("-m"), subject},
           {{QStringLiteral("GIT_AUTHOR_NAME"), author},
            {QStringLiteral("GIT_AUTHOR_EMAIL"), QStringLiteral("author@example.invalid")},
            {QStringLiteral("GIT_AUTHOR_DATE"), date},
            {QStringLiteral("GIT_COMMITTER_DATE"), date}});
    return git({QStringLiteral("rev-parse"), QStringLiteral("HEAD")}).trimmed();
}

} // namespace tolvaran::fixtures
