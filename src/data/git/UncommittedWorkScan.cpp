#include "data/git/UncommittedWorkScan.h"

#include "data/git/ProjectRepositoryStore.h"
#include "data/git/SecretPathRules.h"
#include "work/FileDescriptor.h"
#include "platform/Graphemes.h"
#include "platform/Paths.h"

#include <QFile>
#include <QStringDecoder>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvaran::Internal {

namespace {

constexpr QChar unitSeparator(0x1F);

// Pathspecs that leave the unreadable files out, each by its exact path.
QStringList exclusions(const QList<UncommittedWorkScan::UnreadableFile> &unreadable)
{
    QStringList pathspecs;
    for (const UncommittedWorkScan::UnreadableFile &file : unreadable)
        pathspecs.append(QStringLiteral(":(top,exclude,literal)") + file.path);
    return pathspecs;
}

// A line count of `git diff --numstat`, 0 when it is no number, at most `limit`.
qint64 boundedCount(const QString &field, qint64 limit)
{
    bool ok = false;
    const qint64 value = field.toLongLong(&ok, 10);
    return ok && value > 0 ? std::min(value, limit) : 0;
}

} // namespace

UncommittedWorkScan::UncommittedWorkScan(const GitRunner &git, QString folder)
    : m_git(git)
    , m_folder(std::move(folder))
{
}

QList<UncommittedWorkScan::UnreadableFile> UncommittedWorkScan::unreadableTrackedFiles() const
{
    const GitRunResult names = m_git.run(
        m_folder,
        QStringList{QStringLiteral("diff"), QStringLiteral("--name-only"), QStringLiteral("-z"),
                    QStringLiteral("--no-renames"), QStringLiteral("HEAD"), QStringLiteral("--")}
            + SecretPathRules::exclusionPathspecs());
    QList<UnreadableFile> unreadable;
    if (names.exitCode != 0)
        return unreadable;
    const QString top = standardizedPath(m_folder);
    for (const QString &path : names.output.split(QChar(0), Qt::SkipEmptyParts)) {
        struct stat info{};
        const QByteArray native = QFile::encodeName(top + QLatin1Char('/') + path);
        if (::lstat(native.constData(), &info) != 0 || S_ISLNK(info.st_mode))
            continue; // deleted (git has what it needs), or a link (git diffs its target text)
        if (!S_ISREG(info.st_mode)) {
            unreadable.append({path, QStringLiteral("not a regular file")});
        } else if (info.st_size > maximumTrackedFileBytes) {
            unreadable.append({path, QStringLiteral("larger than %1 bytes")
                                         .arg(maximumTrackedFileBytes)});
        } else if (info.st_nlink > 1) {
            unreadable.append({path, QStringLiteral("has more than one link")});
        }
    }
    return unreadable;
}

UncommittedWorkScan::DiffCounts UncommittedWorkScan::loadDiffCounts(
    const QList<UnreadableFile> &unreadable) const
{
    const GitRunResult result = m_git.run(
        m_folder, QStringList{QStringLiteral("diff"), QStringLiteral("--numstat"),
                              QStringLiteral("--no-textconv"), QStringLiteral("--no-ext-diff"),
                              QStringLiteral("HEAD"), QStringLiteral("--")}
                      + exclusions(unreadable));
    DiffCounts counts;
    if (result.exitCode != 0)
        return counts;
    const QStringList lines = result.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() < 2)
            continue;
        // Git prints "-" for binary files: they count 0. Capping each term and each sum keeps
        // the arithmetic far from overflow.
        const qint64 added = boundedCount(fields.at(0), maximumLineCount);
        const qint64 deleted = boundedCount(fields.at(1), maximumLineCount);
        counts.additions = std::min(maximumLineCount, counts.additions + added);
        counts.deletions = std::min(maximumLineCount, counts.deletions + deleted);
    }
    return counts;
}

QString UncommittedWorkScan::loadSummaryEvidence(const QStringList &untrackedFiles,
                                             const QList<UnreadableFile> &unreadable) const
{
    QStringList parts;
    const GitRunResult diff = m_git.run(
        m_folder,
        QStringList{QStringLiteral("diff"), QStringLiteral("--no-ext-diff"),
                    QStringLiteral("--no-textconv"), QStringLiteral("--unified=1"),
                    QStringLiteral("HEAD"), QStringLiteral("--")}
            + SecretPathRules::exclusionPathspecs() + exclusions(unreadable),
        maximumDiffBytes);
    if (diff.exitCode == 0 && !diff.output.isEmpty())
        parts.append(QStringLiteral("Current tracked and staged diff:\n") + diff.output);
    if (!unreadable.isEmpty()) {
        QString list = QStringLiteral("Tracked files left out of the diff:");
        for (const UnreadableFile &file : unreadable)
            list += QLatin1Char('\n') + file.path + QStringLiteral(" (") + file.reason + u')';
        parts.append(list);
    }

    // Only the first few entries are tried; a refused one is not replaced by a later one.
    for (const QString &relativePath : untrackedFiles.mid(0, maximumUntrackedSamples)) {
        if (!ProjectRepositoryStore::canShare(relativePath))
            continue;
        if (const auto text = readUntrackedSample(relativePath)) {
            parts.append(QStringLiteral("Current untracked file ") + relativePath
                         + QStringLiteral(":\n") + *text);
        }
    }
    return graphemePrefix(parts.join(QStringLiteral("\n\n")), maximumEvidenceCharacters);
}

std::optional<QString> UncommittedWorkScan::readUntrackedSample(const QString &relativePath) const
{
    const QString root = standardizedPath(m_folder);
    const QString joined = standardizedPath(root + QLatin1Char('/') + relativePath);
    if (!joined.startsWith(root + QLatin1Char('/')))
        return std::nullopt;

    // Walk down from the project folder one component at a time, refusing symbolic links at
    // every step, so that a link (or a folder replaced by a link meanwhile) can never lead
    // the read outside the project, e.g. into ~/.ssh. The file itself is opened without
    // blocking, so a FIFO or a device cannot stall the scan, and read only when regular.
    const QStringList components = joined.mid(root.size() + 1).split(QLatin1Char('/'),
                                                                      Qt::SkipEmptyParts);
    if (components.isEmpty())
        return std::nullopt;
    FileDescriptor directory(
        ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (qsizetype i = 0; i + 1 < components.size() && directory.isValid(); ++i) {
        directory = FileDescriptor(::openat(directory.get(),
                                            QFile::encodeName(components.at(i)).constData(),
                                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    if (!directory.isValid())
        return std::nullopt;
    const FileDescriptor file(::openat(directory.get(),
                                       QFile::encodeName(components.last()).constData(),
                                       O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    // A file with a second link may be a key kept elsewhere, linked in under a harmless name.
    struct stat info {};
    if (!file.isValid() || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)
        || info.st_nlink > 1)
        return std::nullopt;

    QByteArray bytes(maximumSampleBytes, Qt::Uninitialized);
    qint64 filled = 0;
    while (filled < maximumSampleBytes) {
        const ssize_t got = ::read(file.get(), bytes.data() + filled,
                                   size_t(maximumSampleBytes - filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        filled += got;
    }
    bytes.truncate(filled);
    if (bytes.contains('\0'))
        return std::nullopt;
    // A character cut at the byte limit makes the sample invalid, as does any binary data.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError() || text.trimmed().isEmpty())
        return std::nullopt;
    return text;
}

std::optional<UncommittedWorkScan::HeadMetadata> UncommittedWorkScan::loadHeadMetadata() const
{
    const GitRunResult log =
        m_git.run(m_folder, {QStringLiteral("log"), QStringLiteral("-1"),
                             QStringLiteral("--pretty=format:%H%x1f%ct%x1f%s")});
    if (log.exitCode != 0)
        return std::nullopt;
    const QStringList fields = splitAtMost(log.output, unitSeparator, 2);
    if (fields.size() != 3 || fields.at(1).isEmpty())
        return std::nullopt;
    bool ok = false;
    const qint64 seconds = fields.at(1).toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;

    // Commits, amends and merges made here are local; checkouts, pulls, resets and rebases
    // are not.
    const QString reflog = m_git.value(m_folder, {QStringLiteral("reflog"), QStringLiteral("-1"),
                                                  QStringLiteral("--format=%gs")})
                               .value_or(QString())
                               .toLower();
    HeadMetadata head;
    head.subject = graphemePrefix(fields.at(2), maximumSubjectCharacters);
    head.committedAt = seconds * 1000;
    head.isLocalCommit = reflog.startsWith(QLatin1String("commit"))
                         || reflog.startsWith(QLatin1String("merge"));
    return head;
}

UncommittedWorkScan::FileParts UncommittedWorkScan::fileParts(const QStringList &changedFiles) const
{
    FileParts result;
    for (const QString &path : changedFiles) {
        struct stat info {};
        const QByteArray native = QFile::encodeName(m_folder + QLatin1Char('/') + path);
        if (::lstat(native.constData(), &info) != 0) {
            result.parts.append(path + unitSeparator + QStringLiteral("missing"));
            continue;
        }
        const qint64 modifiedAt =
            qint64(info.st_mtim.tv_sec) * 1000 + qint64(info.st_mtim.tv_nsec) / 1'000'000;
        result.parts.append(path + unitSeparator + QString::number(qint64(info.st_size))
                            + unitSeparator + QString::number(modifiedAt));
        if (!result.lastActivityAt || modifiedAt > *result.lastActivityAt)
            result.lastActivityAt = modifiedAt;
    }
    return result;
}

} // namespace tolvaran::Internal
