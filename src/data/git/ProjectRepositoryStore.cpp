#include "data/git/ProjectRepositoryStore.h"

#include "data/git/SecretPathRules.h"
#include "data/git/UncommittedWorkScan.h"
#include "data/git/PorcelainStatus.h"
#include "platform/Graphemes.h"
#include "platform/Paths.h"
#include "platform/SkippedFolders.h"

#include <QCollator>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>
#include <array>

namespace tolvaran {

namespace {

constexpr QChar unitSeparator(0x1F);
constexpr QChar recordSeparator(0x1E);
constexpr qsizetype maximumBranchCharacters = 200;
constexpr qsizetype maximumRepositoryNameCharacters = 120;

// Short names of well-known public code-hosting services, as remotes of the form
// "alias:owner/repo" use them, and the hosts they stand for.
constexpr std::array<std::pair<const char *, const char *>, 3> forgeAliases{{
    {"github", "github.com"},
    {"gitlab", "gitlab.com"},
    {"bitbucket", "bitbucket.org"},
}};

QString withoutLeadingSlashes(QString text)
{
    qsizetype start = 0;
    while (start < text.size() && text.at(start) == QLatin1Char('/'))
        ++start;
    return text.mid(start);
}

QString trimmedOfSlashes(const QString &text)
{
    QString result = withoutLeadingSlashes(text);
    while (result.endsWith(QLatin1Char('/')))
        result.chop(1);
    return result;
}

qint64 countAfterSign(const QString &part)
{
    bool ok = false;
    const qint64 value = part.mid(1).toLongLong(&ok, 10);
    return ok ? value : 0;
}

ProjectGitStatus notARepository()
{
    ProjectGitStatus status;
    status.checkedAt = Timestamp::now();
    return status;
}

} // namespace

ProjectRepositoryStore::ProjectRepositoryStore(QString gitExecutable)
    : m_git(std::move(gitExecutable))
{
}

ProjectGitStatus ProjectRepositoryStore::loadGitStatus(
    const QString &path, const std::optional<ProjectGitStatus> &storedStatus,
    const std::stop_token &stopToken) const
{
    const Internal::GitRunResult result =
        m_git.run(path,
                  {QStringLiteral("status"), QStringLiteral("--porcelain=v2"),
                   QStringLiteral("--branch"), QStringLiteral("--untracked-files=no")},
                  -1, stopToken);
    if (!result.conclusive && storedStatus)
        return *storedStatus;
    if (result.exitCode != 0)
        return notARepository();

    ProjectGitStatus status;
    status.isRepository = true;
    const QStringList lines = result.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("# branch.head "))) {
            const QString head = line.mid(14);
            status.branch = head == QLatin1String("(detached)") ? QStringLiteral("Detached HEAD")
                                                                : head;
        } else if (line.startsWith(QLatin1String("# branch.upstream "))) {
            status.upstream = line.mid(18);
        } else if (line.startsWith(QLatin1String("# branch.ab "))) {
            const QStringList parts = line.mid(12).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            for (const QString &part : parts) {
                if (part.startsWith(QLatin1Char('+')))
                    status.aheadCount = countAfterSign(part);
                else if (part.startsWith(QLatin1Char('-')))
                    status.behindCount = countAfterSign(part);
            }
        }
    }
    status.checkedAt = Timestamp::now();
    return status;
}

QList<ProjectCommit> ProjectRepositoryStore::loadRecentCommits(const QString &path) const
{
    const Internal::GitRunResult result = m_git.run(
        path, {QStringLiteral("log"), QStringLiteral("-%1").arg(recentCommitCount),
               QStringLiteral("--date=short"),
               QStringLiteral("--pretty=format:%H%x1f%h%x1f%ad%x1f%an%x1f%s%x1e")});
    if (result.exitCode != 0)
        return {};
    QList<ProjectCommit> commits;
    const QStringList parts = result.output.split(recordSeparator, Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        // Four splits only, so a subject holding the separator keeps the rest of its line.
        const QStringList fields = Internal::splitAtMost(part, unitSeparator, 4);
        if (fields.size() != 5)
            continue;
        // Trimming the hash drops the line feed git puts between commits.
        commits.append({fields.at(0).trimmed(), fields.at(1), fields.at(2), fields.at(3),
                        fields.at(4)});
    }
    return commits;
}

QList<ProjectMarkdownFile> ProjectRepositoryStore::loadMarkdownFiles(const QString &path) const
{
    const QString root = QDir(path).absolutePath();
    // A depth-first walk in name order with an explicit stack (deep trees cannot exhaust the
    // call stack). Hidden entries, symbolic links and special files are never listed, so the
    // walk cannot loop or leave the folder.
    constexpr QDir::Filters filters = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::NoSymLinks;
    QFileInfoList pending = QDir(root).entryInfoList(filters, QDir::Name);
    std::reverse(pending.begin(), pending.end());

    QList<ProjectMarkdownFile> files;
    while (!pending.isEmpty() && files.size() < maximumMarkdownFiles) {
        const QFileInfo entry = pending.takeLast();
        if (entry.isDir()) {
            // Hidden folders (".git" among them) are filtered out above.
            if (isSkippedFolderName(entry.fileName()))
                continue;
            QFileInfoList children =
                QDir(entry.absoluteFilePath()).entryInfoList(filters, QDir::Name);
            std::reverse(children.begin(), children.end());
            pending.append(children);
            continue;
        }
        if (!entry.isFile() || entry.suffix().toLower() != QLatin1String("md"))
            continue;
        const QString filePath = entry.absoluteFilePath();
        files.append({filePath, trimmedOfSlashes(filePath.mid(root.size()))});
    }

    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(files.begin(), files.end(),
                     [&collator](const ProjectMarkdownFile &a, const ProjectMarkdownFile &b) {
                         return collator.compare(a.relativePath, b.relativePath) < 0;
                     });
    return files;
}

std::optional<QString> ProjectRepositoryStore::discoveredOrigin(
    const LocalTeamProjectSource &source)
{
    if (!source.canDiscoverGitOrigin)
        return std::nullopt;
    {
        std::lock_guard lock(m_originCacheMutex);
        const auto entry = m_originCache.constFind(source.path);
        if (entry != m_originCache.cend() && entry->expiresAt > std::chrono::steady_clock::now())
            return entry->remote;
    }
    // Git runs without the lock; two concurrent misses may both run it, the later one wins.
    std::optional<QString> remote =
        m_git.value(source.path, {QStringLiteral("remote"), QStringLiteral("get-url"),
                                  QStringLiteral("origin")});
    std::lock_guard lock(m_originCacheMutex);
    m_originCache.insert(source.path,
                         {remote, std::chrono::steady_clock::now() + originCacheDuration});
    return remote;
}

std::optional<LocalTeamProjectState> ProjectRepositoryStore::loadTeamProjectState(
    const LocalTeamProjectSource &source,
    const std::optional<LocalTeamProjectState> &previousState)
{
    const std::optional<QString> origin =
        source.gitOriginURL ? source.gitOriginURL : discoveredOrigin(source);
    if (!origin)
        return std::nullopt;
    const std::optional<QString> remote = normalizedRemote(*origin);
    if (!remote)
        return std::nullopt;
    const std::optional<RepositoryIdentity> identity = repositoryIdentity(*remote);
    if (!identity)
        return std::nullopt;

    const Internal::GitRunResult statusRun = m_git.run(
        source.path, {QStringLiteral("status"), QStringLiteral("--porcelain=v2"),
                      QStringLiteral("--branch"), QStringLiteral("-z"),
                      QStringLiteral("--untracked-files=all")});
    if (statusRun.exitCode != 0)
        return std::nullopt;
    const Internal::PorcelainStatus status =
        Internal::PorcelainStatus::parse(statusRun.output);
    const Internal::UncommittedWorkScan scan(m_git, source.path);

    LocalTeamProjectState state;
    SharedProjectState &shared = state.shared;
    shared.repositoryId = identity->id;
    shared.repositoryName = identity->name;
    if (status.branch)
        shared.branch = graphemePrefix(*status.branch, maximumBranchCharacters);
    shared.headSha = status.headSHA;
    shared.stagedCount = status.stagedCount;
    shared.modifiedCount = status.modifiedCount;
    shared.untrackedCount = status.untrackedCount;
    shared.isDirty =
        status.stagedCount > 0 || status.modifiedCount > 0 || status.untrackedCount > 0;
    if (shared.isDirty) {
        const QList<Internal::UncommittedWorkScan::UnreadableFile> unreadable =
            scan.unreadableTrackedFiles();
        const Internal::UncommittedWorkScan::DiffCounts counts = scan.loadDiffCounts(unreadable);
        shared.additions = counts.additions;
        shared.deletions = counts.deletions;
        state.summaryEvidence = scan.loadSummaryEvidence(status.untrackedFiles, unreadable);
    }
    shared.changedFiles = status.changedFiles;
    const Internal::UncommittedWorkScan::FileParts files = scan.fileParts(status.changedFiles);
    shared.lastActivityAt = files.lastActivityAt;
    shared.isCodexProcessing = source.isCodexProcessing;

    const QStringList fingerprintParts{status.fingerprintInput, QString::number(shared.additions),
                                       QString::number(shared.deletions),
                                       files.parts.join(recordSeparator)};
    state.workFingerprint = QString::fromLatin1(
        QCryptographicHash::hash(fingerprintParts.join(recordSeparator).toUtf8(),
                                 QCryptographicHash::Sha256)
            .toHex());
    state.latestUserRequest = source.latestUserRequest;

    // The head commit is news only when HEAD moved since a scan that knew it: the first scan
    // of a repository never reports one.
    if (previousState && previousState->shared.headSha
        && status.headSHA != previousState->shared.headSha) {
        if (const auto head = scan.loadHeadMetadata()) {
            state.headSubject = head->subject;
            state.committedAt = head->committedAt;
            state.isLocalCommit = head->isLocalCommit;
        }
    }
    return state;
}

std::optional<QString> ProjectRepositoryStore::normalizedRemote(const QString &remote)
{
    const QString text = remote.trimmed();
    QString result;
    if (text.startsWith(QLatin1String("git@")) && text.contains(QLatin1Char(':'))) {
        // "git@host:owner/repo"
        const qsizetype colon = text.indexOf(QLatin1Char(':'));
        result = text.mid(4, colon - 4) + QLatin1Char('/')
                 + withoutLeadingSlashes(text.mid(colon + 1));
    } else if (!text.contains(QLatin1String("://")) && text.contains(QLatin1Char(':'))) {
        // "[user[:password]@]host:path" or "alias:path". A user and password never become
        // part of the identity: they differ between teammates and must not be published.
        QString rest = text;
        const qsizetype at = rest.indexOf(QLatin1Char('@'));
        const bool hasUser = at >= 0 && !rest.left(at).contains(QLatin1Char('/'))
                             && rest.indexOf(QLatin1Char(':'), at + 1) >= 0;
        if (hasUser)
            rest = rest.mid(at + 1);
        const qsizetype colon = rest.indexOf(QLatin1Char(':'));
        QString host = rest.left(colon).toLower();
        if (!hasUser) {
            for (const auto &[alias, aliasHost] : forgeAliases) {
                if (host == QLatin1String(alias))
                    host = QLatin1String(aliasHost);
            }
        }
        result = host + QLatin1Char('/') + withoutLeadingSlashes(rest.mid(colon + 1));
    } else {
        // A URL: its host and path only, so a user, password, port, query and fragment drop.
        const QUrl url(text, QUrl::StrictMode);
        if (!url.isValid() || url.host().isEmpty())
            return std::nullopt;
        result = url.host().toLower() + url.path(QUrl::FullyDecoded);
    }
    result = trimmedOfSlashes(result);
    if (result.endsWith(QLatin1String(".git"), Qt::CaseInsensitive))
        result.chop(4);
    if (!result.contains(QLatin1Char('/')) || result.contains(QLatin1String("..")))
        return std::nullopt;
    return result.toLower();
}

std::optional<RepositoryIdentity> ProjectRepositoryStore::repositoryIdentity(
    const QString &normalizedRemote)
{
    const QStringList parts = normalizedRemote.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return std::nullopt;
    const QByteArray digest =
        QCryptographicHash::hash(normalizedRemote.toUtf8(), QCryptographicHash::Sha256);
    return RepositoryIdentity{QString::fromLatin1(digest.toHex()),
                              graphemePrefix(parts.last(), maximumRepositoryNameCharacters)};
}

bool ProjectRepositoryStore::canShare(const QString &relativePath)
{
    if (relativePath.startsWith(QLatin1Char('/')) || relativePath.contains(QLatin1String(".."))
        || relativePath.contains(QChar(0))) {
        return false;
    }
    return !Internal::SecretPathRules::matches(relativePath);
}

} // namespace tolvaran
