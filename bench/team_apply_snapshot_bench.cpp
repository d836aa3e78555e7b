// Applying a team snapshot of 50 members with 200 repositories each against 300 local
// projects, under protocol 2 (teammates publish keyed-hash wire ids, so the local side is
// hashed on every application), printed beside the decoding of the same snapshot's bytes as
// the reference. Also printed: how many published values each application changed; applying
// the same snapshot again, decoded anew, must change none, and applying it after a change of
// the local side must change some.
#include "support/BenchFigures.h"
#include "support/team/TeamWireFixtures.h"
#include "team/presence/TeamSnapshotValues.h"

#include <QMessageAuthenticationCode>
#include <QTextStream>

#include <vector>

namespace {

using namespace tolvaran;
namespace bench = fixtures::bench;

constexpr int members = 50;
constexpr int repositoriesPerMember = 200;
constexpr int localProjects = 300;
constexpr int rounds = 9;

const QByteArray teamId = QByteArrayLiteral("5f1c9a52-team-bench");

// Stands in for the presence service's wire id function: the same keyed hash.
QString wireId(const QString &repositoryId)
{
    return QString::fromLatin1(QMessageAuthenticationCode::hash(repositoryId.toUtf8(), teamId,
                                                                QCryptographicHash::Sha256)
                                   .toHex());
}

} // namespace

int main()
{
    QTextStream out(stdout);
    TeamSnapshot snapshot = fixtures::team::sampleSnapshot(members, repositoriesPerMember);
    for (StoredDevicePresence &member : snapshot.members) {
        for (SharedProjectState &project : member.projects)
            project.repositoryId = wireId(project.repositoryId);
    }
    const QByteArray bytes = snapshot.toJson();

    // Local projects: the first 150 repositories of the team, each checked out at two paths,
    // dirty in files the teammates also changed.
    QHash<QString, LocalTeamProjectState> states;
    QHash<QString, SharedProjectState> placeholders;
    for (int index = 0; index < localProjects; ++index) {
        const QString path = QStringLiteral("/home/user/src/project-%1").arg(index);
        LocalTeamProjectState state;
        state.shared = fixtures::team::sampleProject(members, index / 2, 2);
        state.shared.usage.reset();
        SharedProjectState placeholder;
        placeholder.repositoryId = state.shared.repositoryId;
        placeholder.repositoryName = state.shared.repositoryName;
        placeholders.insert(path, placeholder);
        states.insert(path, state);
    }
    const TeamLocalSide local{TeamOwnDevice{QStringLiteral("own-device"), QStringLiteral("Me")},
                              QStringLiteral("Core team"),
                              states,
                              placeholders,
                              &wireId,
                              QString::fromLatin1(teamId),
                              Timestamp::fromSeconds(1'780'000'000.0)};

    TeamSnapshotValues values;
    qsizetype firstChanges = 0;
    const double first = bench::milliseconds([&] {
        values.updateLocalActivity(&snapshot, 2, local);
        firstChanges = values.apply(snapshot, local).changed.size();
    });
    // As the presence service meets it: decoded anew from the same bytes each time (nothing of
    // it shared with the snapshot before), kept as the latest in place of the one before (which
    // is freed then), its local activity updated, then applied.
    std::vector<double> again;
    std::vector<double> decode;
    qsizetype repeatChanges = 0;
    TeamSnapshot latest = snapshot;
    for (int round = 0; round < rounds; ++round) {
        TeamSnapshot received;
        decode.push_back(bench::milliseconds([&] { received = TeamSnapshot::fromJson(bytes); }));
        again.push_back(bench::milliseconds([&] {
            latest = received;
            repeatChanges += values.updateLocalActivity(&latest, 2, local) ? 1 : 0;
            repeatChanges += values.apply(received, local).changed.size();
        }));
    }

    // The same snapshot once the local side changed (one project's changed files): worked out
    // again, as the first application was.
    QHash<QString, LocalTeamProjectState> changedStates = states;
    changedStates[QStringLiteral("/home/user/src/project-0")].shared.changedFiles.append(
        QStringLiteral("src/new-file.cpp"));
    const TeamLocalSide changedLocal{local.self,       local.settingsTeamName, changedStates,
                                     placeholders,     &wireId,               local.wireRepositoryIdKey,
                                     local.now};
    qsizetype localChanges = 0;
    const double afterLocalChange = bench::milliseconds([&] {
        localChanges += values.updateLocalActivity(&snapshot, 2, changedLocal) ? 1 : 0;
        localChanges += values.apply(snapshot, changedLocal).changed.size();
    });

    qsizetype peers = 0;
    for (const TeamProjectSummary &summary : values.summariesByPath())
        peers += summary.peers.size();
    out << QStringLiteral("Team snapshot application: %1 members x %2 repositories against %3 "
                          "local projects (protocol 2)\n")
               .arg(members)
               .arg(repositoriesPerMember)
               .arg(localProjects);
    out << QStringLiteral("  first application          %1 ms, %2 values changed "
                          "(%3 paths with peers, %4 peers)\n")
               .arg(first, 8, 'f', 1)
               .arg(firstChanges)
               .arg(values.summariesByPath().size())
               .arg(peers);
    const double againMedian = bench::percentile(again, 0.5);
    const double decodeMedian = bench::percentile(decode, 0.5);
    out << QStringLiteral("  same snapshot again        %1 ms median, %2 values changed "
                          "over %3 rounds   decoding it %4 ms median   ratio %5 (goal: at most "
                          "1)\n")
               .arg(againMedian, 8, 'f', 2)
               .arg(repeatChanges)
               .arg(rounds)
               .arg(decodeMedian, 0, 'f', 1)
               .arg(againMedian / decodeMedian, 0, 'f', 3);
    out << QStringLiteral("  after a local change       %1 ms, %2 values changed\n")
               .arg(afterLocalChange, 8, 'f', 1)
               .arg(localChanges);
    return repeatChanges == 0 && localChanges > 0 ? 0 : 1;
}
