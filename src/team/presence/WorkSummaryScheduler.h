#pragma once

#include "data/git/LocalTeamProjectState.h"
#include "team/presence/TeamClock.h"
#include "team/presence/WorkSummaryRequest.h"
#include "work/WorkGroup.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <chrono>

namespace tolvaran {

class KeyValueStore;
class WorkSummaryGenerator;

// Which active projects of one team need a work summary, and when: a scan attaches the
// sentences already known (for the path, or by fingerprint from an earlier run) and queues the
// rest, one job per path, urgent ones first (Codex working on a request), then by path. One
// runner generates one sentence at a time on a background job; a result for a fingerprint
// that has moved on is dropped, and a failure holds that path and fingerprint back
// summaryRetryDelay on the team's clock. Generated sentences are kept per path and, shared by
// every team, by fingerprint in the user defaults. GUI thread only.
class WorkSummaryScheduler final : public QObject
{
    Q_OBJECT

public:
    // Work summaries by fingerprint, in the user defaults; shared by every team.
    static inline const QString generatedWorkSummariesKey =
        QStringLiteral("team.generatedWorkSummaries");
    // After a failed generation, the same project and fingerprint wait this long.
    static constexpr std::chrono::seconds summaryRetryDelay{120};
    static constexpr qsizetype maximumPersistedSummaries = 200;

    // Reads the sentences stored by fingerprint at once; starts nothing.
    WorkSummaryScheduler(WorkSummaryGenerator &generator, KeyValueStore &defaults,
                         TeamClock &clock, QObject *parent = nullptr);

    // Records the fingerprint of every active state of a scan and puts in the sentence already
    // known for it (for the path, or by fingerprint from an earlier run).
    void adoptKnownWorkSummaries(QHash<QString, LocalTeamProjectState> &states);
    // Queues a job for every active state of `states` whose recorded fingerprint has no
    // sentence yet and is not held back, and starts the runner (in a later turn) unless one
    // runs.
    void enqueueWorkSummaries(const QHash<QString, LocalTeamProjectState> &states);
    // Stops the runner (a generation in flight runs to its end and is dropped) and forgets the
    // queue, the recorded fingerprints and the held-back failures. The sentences stay.
    void reset();

Q_SIGNALS:
    // A sentence for the state at `path`, already kept for the path and by fingerprint.
    void workSummaryGenerated(const QString &path, const QString &sentence);

private:
    struct PendingWorkSummary
    {
        QString path;
        QString fingerprint; // the state's when the job was queued
        WorkSummaryRequest request;
    };
    struct GeneratedWorkSummary
    {
        QString fingerprint;
        QString summary;
    };

    void runSummaryQueue(quint64 runner);
    void summaryGenerated(quint64 runner, const PendingWorkSummary &job,
                          const std::optional<QString> &sentence);
    void storeWorkSummary(const QString &fingerprint, const QString &sentence);

    WorkSummaryGenerator &m_generator;
    KeyValueStore &m_defaults;
    TeamClock &m_clock;

    QHash<QString, GeneratedWorkSummary> m_generatedSummariesByPath;
    QHash<QString, QString> m_persistedSummariesByFingerprint;
    QHash<QString, QString> m_currentSummaryFingerprintsByPath;
    QList<PendingWorkSummary> m_pendingSummaryJobs;
    QHash<QString, TeamClock::Duration> m_summaryRetryAfterByFingerprint; // by path|fingerprint
    // The running queue runner; 0 when none runs. A cancelled runner finds it changed.
    quint64 m_summaryRunner = 0;
    quint64 m_lastSummaryRunner = 0;

    // Last, so that it goes first: no job outlives what it uses.
    WorkGroup m_work{this};
};

} // namespace tolvaran
