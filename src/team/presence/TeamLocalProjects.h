#pragma once

#include "data/git/LocalTeamProjectSource.h"
#include "data/git/LocalTeamProjectState.h"
#include "data/git/SharedProjectState.h"
#include "team/wire/CommitCreatedMessage.h"
#include "work/WorkGroup.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>

namespace tolvaran {

class ProjectMetadataCache;
class ProjectRepositoryStore;
class TeamSettingsStore;
class WorkSummaryScheduler;

// This device's projects as one team sees them: the coordinator's project list, a placeholder
// per project with a known origin (who the project is on the team, before any scan), the
// scanned states and the scans that refresh them, and the heads that tell a new local commit.
// A merged scan hands its active states to the work summaries (the sentences known, the jobs
// to queue) and writes the whole map to the metadata cache, which every team shares.
// Git runs on background jobs; the rest on the GUI thread.
class TeamLocalProjects final : public QObject
{
    Q_OBJECT

public:
    // Projects scanned by one background job, one after the other.
    static constexpr qsizetype scanBatchSize = 4;

    TeamLocalProjects(TeamSettingsStore &settings, ProjectRepositoryStore &repositoryStore,
                      ProjectMetadataCache &metadataCache, WorkSummaryScheduler &workSummaries,
                      QObject *parent = nullptr);

    const QHash<QString, LocalTeamProjectState> &states() const { return m_states; }
    const QHash<QString, SharedProjectState> &placeholders() const { return m_placeholders; }
    // Placeholders overlaid with scanned states.
    QHash<QString, SharedProjectState> repositoryInventoryByPath() const;

    // The coordinator's project list. An unchanged list is ignored. A changed one takes the
    // scanned states of its paths from the metadata cache at once; a background job then
    // names each project with a known origin, and statesChanged() follows for the job whose
    // list is still current. Nothing is scanned here.
    void updateProjects(const QList<LocalTeamProjectSource> &sources);
    // Scans those of `paths` that are projects of the list, in batches of scanBatchSize, and
    // calls `done` on the GUI thread when the queue is worked off. While the team is off
    // nothing is queued; while a scan runs the paths join its queue; either way `done` is
    // called at once.
    void refreshProjects(const QSet<QString> &paths, std::function<void()> done);

    // Forgets the placeholders, the queued paths and the known heads, reloads the states from
    // the metadata cache and ends the running scan loop (a batch in flight changes nothing).
    // The project list stays.
    void reset();

    // Puts a generated sentence into the scanned state at `path`: that state's shared part, or
    // null when the path has no scanned state.
    const SharedProjectState *setWorkSummary(const QString &path, const QString &sentence);

Q_SIGNALS:
    // The placeholders or the states changed (a new list was named, or a scan was merged).
    // `newCommits`: the commits made on this device that the scan found, for the team.
    void statesChanged(const QList<tolvaran::CommitCreatedMessage> &newCommits);

private:
    struct ScannedTeamProjectState;

    void applyProjectPlaceholders(const QHash<QString, SharedProjectState> &placeholders,
                                  const QList<LocalTeamProjectSource> &sources);
    // One turn of the scan loop of `generation`: the next batch, or the end of the loop.
    void scanNextBatch(quint64 generation, std::function<void()> done);
    void scanProjects(const QSet<QString> &paths, quint64 generation,
                      std::function<void()> then);
    void mergeScan(const QList<ScannedTeamProjectState> &scanned);
    QList<CommitCreatedMessage> detectNewCommits(
        const QHash<QString, LocalTeamProjectState> &states);

    TeamSettingsStore &m_settings;
    ProjectRepositoryStore &m_repositoryStore;
    ProjectMetadataCache &m_metadataCache;
    WorkSummaryScheduler &m_workSummaries;

    QList<LocalTeamProjectSource> m_sources;
    QHash<QString, SharedProjectState> m_placeholders;
    QHash<QString, LocalTeamProjectState> m_states;
    QSet<QString> m_pendingRefreshPaths;
    bool m_isRefreshingLocalState = false;
    quint64 m_scanGeneration = 0; // raised by every reset: a scan of an older one is dropped
    QHash<QString, QString> m_knownHeadsByRepository;

    // Last, so that it goes first: no job outlives what it uses.
    WorkGroup m_work{this};
};

} // namespace tolvaran
