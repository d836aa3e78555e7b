#pragma once

#include "data/git/GitRunner.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace tolvaran::Internal {

// The measurements of one project's uncommitted work that the team scan makes beyond the
// status: line counts, the evidence text for work summaries, the fingerprint's file parts and
// the head commit. Each failure degrades its own value only.
class UncommittedWorkScan final
{
public:
    static constexpr qint64 maximumLineCount = 10'000'000;
    static constexpr qint64 maximumDiffBytes = 32'768;
    static constexpr qsizetype maximumUntrackedSamples = 4;
    static constexpr qint64 maximumSampleBytes = 4'096;
    static constexpr qsizetype maximumEvidenceCharacters = 49'152;
    static constexpr qsizetype maximumSubjectCharacters = 300;
    // A changed tracked file larger than this is left out of the diff: git would read it whole
    // and the run would end at its time limit with nothing.
    static constexpr qint64 maximumTrackedFileBytes = 16 * 1024 * 1024;

    struct DiffCounts
    {
        qint64 additions = 0;
        qint64 deletions = 0;
    };

    struct HeadMetadata
    {
        QString subject;
        qint64 committedAt = 0; // milliseconds since 1970
        bool isLocalCommit = false;
    };

    struct FileParts
    {
        QStringList parts;                   // one per changed file, for the fingerprint
        std::optional<qint64> lastActivityAt; // latest modification, ms since 1970
    };

    // A changed tracked file that the diff leaves out, and why.
    struct UnreadableFile
    {
        QString path; // relative to the repository's top
        QString reason;

        friend bool operator==(const UnreadableFile &, const UnreadableFile &) = default;
    };

    UncommittedWorkScan(const GitRunner &git, QString folder);

    // The changed tracked files that git could not read or that must not be read: anything
    // but a regular file or a symbolic link (a FIFO would make git fail the whole diff), a
    // file larger than maximumTrackedFileBytes, and a file with more than one link (a hard
    // link may be a key kept elsewhere). Secret-looking paths are left out before this.
    QList<UnreadableFile> unreadableTrackedFiles() const;

    // Added and deleted lines against HEAD (binary files count 0), each at most 10,000,000,
    // without the files in `unreadable`; 0 and 0 when git fails.
    DiffCounts loadDiffCounts(const QList<UnreadableFile> &unreadable = {}) const;

    // The tracked diff against HEAD (first 32 KiB, secret-looking paths and `unreadable` left
    // out, each of the latter named with its reason) and the text of the first four untracked
    // files (4 KiB each, regular text files with one link inside the folder only), as one
    // text of at most 49,152 characters; empty when there is nothing to show.
    QString loadSummaryEvidence(const QStringList &untrackedFiles,
                                const QList<UnreadableFile> &unreadable = {}) const;

    // The head commit's subject and time, and whether it was made in this clone (the reflog's
    // last entry is a commit or merge); nothing when git fails.
    std::optional<HeadMetadata> loadHeadMetadata() const;

    // For each changed path: "path\x1Fsize\x1Fmtime-ms", or "path\x1Fmissing" when the file
    // is gone. Symbolic links are described, not followed.
    FileParts fileParts(const QStringList &changedFiles) const;

private:
    std::optional<QString> readUntrackedSample(const QString &relativePath) const;

    const GitRunner &m_git;
    QString m_folder;
};

} // namespace tolvaran::Internal
