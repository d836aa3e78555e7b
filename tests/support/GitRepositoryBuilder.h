#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tolvaran::fixtures {

// Builds real git repositories for tests by running the git tool. Every run is isolated from
// the developer's own git set-up: no system configuration, a global configuration file of our
// own (name, e-mail, default branch "main", no signing), and fixed author and committer dates
// that advance one minute per commit, so hashes and dates do not depend on the clock. The
// isolation is also set in this process's environment, so the git runs of the code under
// test see the same configuration. Every failure throws std::runtime_error.
class GitRepositoryBuilder final
{
public:
    // The first commit's date: 2026-01-05T10:00:00Z.
    static constexpr qint64 firstCommitSeconds = 1'767'607'200;

    // Makes a new repository in `path` (created when missing), its branch "main" unborn.
    explicit GitRepositoryBuilder(QString path);

    // Makes a bare repository in `path`, as a remote to push to and fetch from.
    static GitRepositoryBuilder bare(const QString &path);
    // Clones `remote` into `path`.
    static GitRepositoryBuilder clone(const QString &remote, const QString &path);

    const QString &path() const { return m_path; }

    // Runs `git -C path arguments...` and returns its standard output.
    QString git(const QStringList &arguments) const;

    // Writes `contents` to `relative` below the work tree (creating folders); returns the
    // absolute path.
    QString writeFile(const QString &relative, const QByteArray &contents) const;
    // Stages everything and commits it with the next fixed date; returns the commit's hash.
    QString commitAll(const QString &subject, const QString &author = QStringLiteral("Ada"));

    // Sets the process environment for git (done by every constructor; idempotent).
    static void isolateGitConfiguration();

private:
    struct Existing {};
    GitRepositoryBuilder(QString path, Existing); // an existing repository, left as it is

    QString m_path;
    int m_commitCount = 0;
};

} // namespace tolvaran::fixtures
