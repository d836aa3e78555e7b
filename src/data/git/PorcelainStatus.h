#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace tolvaran::Internal {

// One change entry of `git status --porcelain=v2 -z`.
struct PorcelainChangeRecord
{
    QString path;
    QChar indexStatus;
    QChar worktreeStatus;
    bool isUntracked = false;

    // An ordinary ("1 "), renamed or copied ("2 "), unmerged ("u ") or untracked ("? ")
    // entry; nothing for headers and anything else. Fields are split on spaces, at most as
    // many times as the kind has fields before its path, so spaces inside the path stay.
    static std::optional<PorcelainChangeRecord> parse(const QString &entry);
};

// The working-tree state the team scan reads from `git status --porcelain=v2 --branch -z
// --untracked-files=all`.
struct PorcelainStatus
{
    static constexpr qsizetype maximumChangedFiles = 100;

    std::optional<QString> branch;  // absent when detached
    std::optional<QString> headSHA; // absent before the first commit
    qint64 stagedCount = 0;
    qint64 modifiedCount = 0;
    qint64 untrackedCount = 0;
    QStringList changedFiles;   // shareable, at most 100, unique, in character-code order
    QStringList untrackedFiles; // shareable, unique, in character-code order
    QString fingerprintInput;   // the raw change entries joined by the record separator

    static PorcelainStatus parse(const QString &output);
};

} // namespace tolvaran::Internal
