// Decoding a team snapshot of 50 members with 200 repositories each (what a large team sends
// on every change) into the wire records, printed beside QJsonDocument::fromJson of the same
// bytes, which only builds a JSON tree and decodes no record. The other columns show what
// the bounded reader costs on its own (skipping every value) and the full road through
// QJsonDocument plus the data layer's QJsonObject decoding of every project state.
#include "support/BenchFigures.h"
#include "support/team/TeamWireFixtures.h"
#include "team/wire/TeamJsonReader.h"
#include "team/wire/TeamSnapshot.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <vector>

namespace {

using namespace tolvaran;
namespace bench = fixtures::bench;

constexpr int members = 50;
constexpr int repositoriesPerMember = 200;
constexpr int rounds = 9;

struct Figures
{
    double median = 0.0;
    double p90 = 0.0;
};

Figures measure(const std::function<void()> &work)
{
    work(); // warm-up: first-touch page faults are not the decoder's
    std::vector<double> samples;
    for (int round = 0; round < rounds; ++round)
        samples.push_back(bench::milliseconds(work));
    return {bench::percentile(samples, 0.5), bench::percentile(samples, 0.9)};
}

QString line(const char *label, const Figures &figures)
{
    return QStringLiteral("  %1 %2 ms median, %3 ms p90\n")
        .arg(QLatin1String(label), -44)
        .arg(figures.median, 8, 'f', 1)
        .arg(figures.p90, 8, 'f', 1);
}

} // namespace

int main()
{
    QTextStream out(stdout);
    const QByteArray bytes =
        fixtures::team::sampleSnapshot(members, repositoriesPerMember).toJson();
    out << QStringLiteral("Team snapshot: %1 members x %2 repositories, %3 bytes\n")
               .arg(members)
               .arg(repositoriesPerMember)
               .arg(bytes.size());

    qsizetype projects = 0;
    const Figures decode = measure([&] {
        const TeamSnapshot snapshot = TeamSnapshot::fromJson(bytes);
        projects = 0;
        for (const StoredDevicePresence &member : snapshot.members)
            projects += member.projects.size();
    });
    const Figures skim = measure([&] {
        TeamJsonReader reader(bytes);
        reader.skipValue();
        reader.finish();
    });
    const Figures reference = measure([&] { QJsonDocument::fromJson(bytes); });
    const Figures referenceRecords = measure([&] {
        const QJsonDocument document = QJsonDocument::fromJson(bytes);
        const QJsonArray list = document.object().value(QLatin1String("members")).toArray();
        for (const QJsonValue &member : list) {
            const QJsonArray states = member.toObject().value(QLatin1String("projects")).toArray();
            for (const QJsonValue &project : states)
                SharedProjectState::fromJson(project.toObject());
        }
    });

    out << line("TeamSnapshot::fromJson (records)", decode);
    out << line("bounded reader, skipping every value", skim);
    out << line("reference: QJsonDocument::fromJson", reference);
    out << line("QJsonDocument + QJsonObject record decoding", referenceRecords);
    out << QStringLiteral("  decoded %1 project states\n").arg(projects);
    return 0;
}
