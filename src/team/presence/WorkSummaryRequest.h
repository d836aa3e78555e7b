#pragma once

#include <QHashFunctions>
#include <QString>
#include <QStringList>

#include <optional>

namespace tolvaran {

// What a work summary is generated from: one repository's scanned state. Everything but the
// path goes into the prompt.
struct WorkSummaryRequest
{
    QString path;
    QString repositoryName;
    std::optional<QString> branch;
    QStringList changedFiles;
    qint64 stagedCount = 0;
    qint64 modifiedCount = 0;
    qint64 untrackedCount = 0;
    qint64 additions = 0;
    qint64 deletions = 0;
    bool isCodexProcessing = false;
    std::optional<QString> latestUserRequest;
    QString summaryEvidence;

    friend bool operator==(const WorkSummaryRequest &, const WorkSummaryRequest &) = default;
};

inline size_t qHash(const WorkSummaryRequest &request, size_t seed = 0) noexcept
{
    seed = qHashMulti(seed, request.path, request.repositoryName, request.branch.has_value(),
                      request.branch.value_or(QString()), request.changedFiles,
                      request.stagedCount, request.modifiedCount, request.untrackedCount);
    return qHashMulti(seed, request.additions, request.deletions, request.isCodexProcessing,
                      request.latestUserRequest.has_value(),
                      request.latestUserRequest.value_or(QString()), request.summaryEvidence);
}

} // namespace tolvaran
