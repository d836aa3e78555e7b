#include "team/presence/WorkSummaryScheduler.h"

#include "team/presence/TeamPresenceRules.h"
#include "team/presence/WorkSummaryGenerator.h"
#include "team/presence/WorkSummaryMemory.h"

#include <QMetaObject>

#include <algorithm>

namespace tolvaran {

namespace {

using TeamPresenceRules::isActive;

QString retryKey(const QString &path, const QString &fingerprint)
{
    return path + QLatin1Char('|') + fingerprint;
}

WorkSummaryRequest requestFor(const QString &path, const LocalTeamProjectState &state)
{
    const SharedProjectState &shared = state.shared;
    return WorkSummaryRequest{path,
                              shared.repositoryName,
                              shared.branch,
                              shared.changedFiles,
                              shared.stagedCount,
                              shared.modifiedCount,
                              shared.untrackedCount,
                              shared.additions,
                              shared.deletions,
                              shared.isCodexProcessing,
                              state.latestUserRequest,
                              state.summaryEvidence};
}

// Codex working on a request of the user's is what a teammate most wants to know about.
bool isUrgent(const WorkSummaryRequest &request)
{
    return request.isCodexProcessing && request.latestUserRequest.has_value();
}

} // namespace

WorkSummaryScheduler::WorkSummaryScheduler(WorkSummaryGenerator &generator,
                                           KeyValueStore &defaults, TeamClock &clock,
                                           QObject *parent)
    : QObject(parent)
    , m_generator(generator)
    , m_defaults(defaults)
    , m_clock(clock)
    , m_persistedSummariesByFingerprint(readWorkSummaries(defaults, generatedWorkSummariesKey))
{
}

void WorkSummaryScheduler::reset()
{
    // A generation in flight runs to its end; its runner then finds itself stopped.
    m_summaryRunner = 0;
    m_currentSummaryFingerprintsByPath.clear();
    m_pendingSummaryJobs.clear();
    m_summaryRetryAfterByFingerprint.clear();
}

void WorkSummaryScheduler::adoptKnownWorkSummaries(QHash<QString, LocalTeamProjectState> &states)
{
    QHash<QString, QString> fingerprints;
    for (auto it = states.begin(); it != states.end(); ++it) {
        if (!isActive(it->shared))
            continue;
        const QString fingerprint = workSummaryFingerprint(*it);
        fingerprints.insert(it.key(), fingerprint);
        const auto generated = m_generatedSummariesByPath.constFind(it.key());
        if (generated != m_generatedSummariesByPath.cend()
            && generated->fingerprint == fingerprint) {
            it->shared.workSummary = generated->summary;
            continue;
        }
        const auto persisted = m_persistedSummariesByFingerprint.constFind(fingerprint);
        if (persisted != m_persistedSummariesByFingerprint.cend()) {
            m_generatedSummariesByPath.insert(it.key(), {fingerprint, *persisted});
            it->shared.workSummary = *persisted;
        }
    }
    m_currentSummaryFingerprintsByPath = std::move(fingerprints);
}

void WorkSummaryScheduler::enqueueWorkSummaries(
    const QHash<QString, LocalTeamProjectState> &states)
{
    const TeamClock::Duration now = m_clock.now();
    for (auto it = states.cbegin(); it != states.cend(); ++it) {
        const QString &path = it.key();
        const auto current = m_currentSummaryFingerprintsByPath.constFind(path);
        const QString key = retryKey(
            path, current == m_currentSummaryFingerprintsByPath.cend() ? QString() : *current);
        const auto retry = m_summaryRetryAfterByFingerprint.constFind(key);
        if (retry != m_summaryRetryAfterByFingerprint.cend()) {
            if (*retry > now)
                continue;
            m_summaryRetryAfterByFingerprint.erase(retry);
        }
        if (!isActive(it->shared) || current == m_currentSummaryFingerprintsByPath.cend())
            continue;
        const auto generated = m_generatedSummariesByPath.constFind(path);
        if (generated != m_generatedSummariesByPath.cend() && generated->fingerprint == *current)
            continue;
        m_pendingSummaryJobs.removeIf(
            [&path](const PendingWorkSummary &job) { return job.path == path; });
        m_pendingSummaryJobs.append({path, *current, requestFor(path, *it)});
    }
    std::stable_sort(m_pendingSummaryJobs.begin(), m_pendingSummaryJobs.end(),
                     [](const PendingWorkSummary &a, const PendingWorkSummary &b) {
                         const bool aUrgent = isUrgent(a.request);
                         const bool bUrgent = isUrgent(b.request);
                         if (aUrgent != bUrgent)
                             return aUrgent;
                         return a.path < b.path;
                     });
    if (m_summaryRunner != 0 || m_pendingSummaryJobs.isEmpty())
        return;
    const quint64 runner = ++m_lastSummaryRunner;
    m_summaryRunner = runner;
    QMetaObject::invokeMethod(
        this, [this, runner] { runSummaryQueue(runner); }, Qt::QueuedConnection);
}

void WorkSummaryScheduler::runSummaryQueue(quint64 runner)
{
    if (runner != m_summaryRunner)
        return; // stopped: a newer runner, if any, keeps its place
    if (m_pendingSummaryJobs.isEmpty()) {
        m_summaryRunner = 0;
        return;
    }
    const PendingWorkSummary job = m_pendingSummaryJobs.takeFirst();
    const WorkSummaryGenerator *generator = &m_generator;
    // Only quitting stops a generation early; a stopped runner lets it finish and drops it.
    m_work.run<std::optional<QString>>(
        JobPriority::background,
        [generator, request = job.request](const WorkContext &context) {
            return generator->generate(request, context.stopToken());
        },
        [this, runner, job](std::optional<QString> sentence) {
            summaryGenerated(runner, job, sentence);
        });
}

void WorkSummaryScheduler::summaryGenerated(quint64 runner, const PendingWorkSummary &job,
                                            const std::optional<QString> &sentence)
{
    if (runner != m_summaryRunner)
        return;
    const auto current = m_currentSummaryFingerprintsByPath.constFind(job.path);
    if (current == m_currentSummaryFingerprintsByPath.cend() || *current != job.fingerprint) {
        runSummaryQueue(runner); // the project has moved on; its new state has its own job
        return;
    }
    const QString key = retryKey(job.path, job.fingerprint);
    if (!sentence) {
        m_summaryRetryAfterByFingerprint.insert(key, m_clock.now() + summaryRetryDelay);
        runSummaryQueue(runner);
        return;
    }
    m_summaryRetryAfterByFingerprint.remove(key);
    m_generatedSummariesByPath.insert(job.path, {job.fingerprint, *sentence});
    storeWorkSummary(job.fingerprint, *sentence);
    Q_EMIT workSummaryGenerated(job.path, *sentence);
    runSummaryQueue(runner);
}

void WorkSummaryScheduler::storeWorkSummary(const QString &fingerprint, const QString &sentence)
{
    m_persistedSummariesByFingerprint =
        tolvaran::storeWorkSummary(m_defaults, generatedWorkSummariesKey,
                                   m_persistedSummariesByFingerprint, fingerprint, sentence,
                                   maximumPersistedSummaries);
}

} // namespace tolvaran
