// Applying a team snapshot of 50 members with 200 repositories each against 300 local
// projects, under protocol 2 (teammates publish keyed-hash wire ids, so the local side is
// hashed on every application), printed beside the decoding of the same snapshot's bytes as
// the reference. Also printed: how many published values each application changed; applying
// the same snapshot again must change none.
#include "support/BenchFigures.h"
#include "support/TeamWireFixtures.h"
#include "team/TeamSnapshotValues.h"

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
                              Timestamp::fromSeconds(1'780'000'000.0)};

    TeamSnapshotValues values;
    qsizetype firstChanges = 0;
    const double first = bench::milliseconds([&] {
        values.updateLocalActivity(&snapshot, 2, local);
        firstChanges = values.apply(snapshot, local).changed.size();
    });
    std::vector<double> again;
    qsizetype repeatChanges = 0;
    for (int round = 0; round < rounds; ++round) {
        again.push_back(bench::milliseconds([&] {
            repeatChanges += values.updateLocalActivity(&snapshot, 2, local) ? 1 : 0;
            repeatChanges += values.apply(snapshot, local).changed.size();
        }));
    }
    std::vector<double> decode;
    for (int round = 0; round < rounds; ++round)
        decode.push_back(bench::milliseconds([&] { TeamSnapshot::fromJson(bytes); }));

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
    out << QStringLiteral("  same snapshot again        %1 ms median, %2 values changed "
                          "over %3 rounds\n")
               .arg(bench::percentile(again, 0.5), 8, 'f', 1)
               .arg(repeatChanges)
               .arg(rounds);
    out << QStringLiteral("  reference: decoding it     %1 ms median\n")
               .arg(bench::percentile(decode, 0.5), 8, 'f', 1);
    return repeatChanges == 0 ? 0 : 1;
}
