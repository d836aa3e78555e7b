#pragma once

#include "data/git/GitRunner.h"
#include "data/git/LocalTeamProjectSource.h"
#include "data/git/LocalTeamProjectState.h"
#include "data/git/ProjectCommit.h"
#include "data/git/ProjectGitStatus.h"
#include "data/git/ProjectMarkdownFile.h"
#include "data/git/RepositoryIdentity.h"

#include <QHash>
#include <QList>
#include <QString>

#include <chrono>
#include <mutex>
#include <optional>
#include <stop_token>

namespace tolvaran {

// The program's only way into git: runs the git tool against project folders (GitRunner:
// bounded in time, never a shell) and turns its output into values. Every operation blocks
// until git has ended or been stopped, so callers run it off the GUI thread; several may run
// at once on different threads. Nothing here reports an error: a failure degrades to an empty
// or "not a repository" value. The only state is a cache of origin remotes.
class ProjectRepositoryStore final
{
public:
    static constexpr std::chrono::seconds originCacheDuration{300};
    static constexpr int recentCommitCount = 8;
    static constexpr qsizetype maximumMarkdownFiles = 100;

    // `gitExecutable`: the git to run; empty for "/usr/bin/git", else git on PATH.
    explicit ProjectRepositoryStore(QString gitExecutable = {});
    ProjectRepositoryStore(const ProjectRepositoryStore &) = delete;
    ProjectRepositoryStore &operator=(const ProjectRepositoryStore &) = delete;

    // The git status of the folder at `path`, checked now. A folder that is not in a
    // repository (or does not exist) gives `isRepository` false. When git gives no answer of
    // its own (it hung past its time limit, is missing or could not start), `storedStatus`
    // (the last status the caller kept for the path) is handed back unchanged, so that a
    // hiccup never turns a known repository into "not a repository"; with none stored, the
    // answer is "not a repository". A stop requested through `stopToken` ends git at once,
    // with no answer of its own.
    ProjectGitStatus loadGitStatus(const QString &path,
                                   const std::optional<ProjectGitStatus> &storedStatus,
                                   const std::stop_token &stopToken = {}) const;

    // The last 8 commits, newest first; empty outside a repository, before the first commit
    // and when git fails.
    QList<ProjectCommit> loadRecentCommits(const QString &path) const;

    // At most 100 Markdown (".md", any case) files below `path`, the first the walk meets,
    // sorted by relative path (localised, case-insensitive). Hidden entries, symbolic links
    // and build, dependency and environment folders are never entered.
    QList<ProjectMarkdownFile> loadMarkdownFiles(const QString &path) const;

    // The team state of one project: its identity from the origin remote, its working-tree
    // state, the size of the uncommitted change, a bounded text of it for work summaries and
    // a fingerprint of it; the new head commit when HEAD moved since `previousState`. Nothing
    // when the project has no usable origin or git status fails. Secret-looking files
    // (canShare) are never listed, read or diffed for the text.
    std::optional<LocalTeamProjectState> loadTeamProjectState(
        const LocalTeamProjectSource &source,
        const std::optional<LocalTeamProjectState> &previousState);

    // The source's "origin" remote as git prints it, through a cache of 300 seconds per path
    // (which also remembers that there is none). Nothing without running git when the source
    // does not allow discovery.
    std::optional<QString> discoveredOrigin(const LocalTeamProjectSource &source);

    // A remote URL as canonical lower-case text "host/path": no scheme, user, password, port,
    // query or ".git" ending. Nothing for text that gives no host and path.
    static std::optional<QString> normalizedRemote(const QString &remote);
    // The identity of a canonical remote text; nothing for text without a path component.
    static std::optional<RepositoryIdentity> repositoryIdentity(const QString &normalizedRemote);

    // Whether a path relative to the repository may leave the machine (be listed, read or
    // diffed for teammates): no absolute paths, no "..", and no component that looks like a
    // secret (Internal::SecretPathRules: ".env" files, keys, credentials, ".ssh", ...).
    static bool canShare(const QString &relativePath);

private:
    struct OriginCacheEntry
    {
        std::optional<QString> remote;
        std::chrono::steady_clock::time_point expiresAt;
    };

    Internal::GitRunner m_git;
    std::mutex m_originCacheMutex;
    QHash<QString, OriginCacheEntry> m_originCache;
};

} // namespace tolvaran
