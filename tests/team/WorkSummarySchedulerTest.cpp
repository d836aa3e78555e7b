#include "platform/storage/KeyValueStore.h"
#include "support/team/ManualTeamClock.h"
#include "support/QtPrinters.h"
#include "support/ScopedEnvironment.h"
#include "support/StandInPrograms.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"
#include "team/presence/WorkSummaryGenerator.h"
#include "team/presence/WorkSummaryMemory.h"
#include "team/presence/WorkSummaryScheduler.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace tolvaran;
using tolvaran::fixtures::waitUntil;

namespace {

using Generated = QList<std::pair<QString, QString>>;

LocalTeamProjectState dirtyState(const QString &name, const QString &workFingerprint)
{
    LocalTeamProjectState state;
    state.shared.repositoryId = QStringLiteral("id-") + name;
    state.shared.repositoryName = name;
    state.shared.branch = QStringLiteral("main");
    state.shared.isDirty = true;
    state.shared.modifiedCount = 1;
    state.shared.changedFiles = {QStringLiteral("src/export.cpp")};
    state.workFingerprint = workFingerprint;
    return state;
}

} // namespace

// The scheduler alone, over a stand-in Codex tool that counts its runs and answers only once
// the test opens its gate, so that a generation can be caught in flight.
class WorkSummarySchedulerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString bin = fixtures::useOnlyStandInCodex(home, environment);
        ASSERT_TRUE(QDir().mkpath(home.filePath(QStringLiteral("tmp"))));
        fixtures::writeScript(
            bin, QStringLiteral("codex"),
            QStringLiteral("echo run >> %1\n"
                           "while [ ! -e %2 ]; do /bin/sleep 0.02; done\n"
                           "out=''; previous=''\n"
                           "for argument in \"$@\"; do\n"
                           "  [ \"$previous\" = -o ] && out=\"$argument\"\n"
                           "  previous=\"$argument\"\n"
                           "done\n"
                           "/bin/cat > /dev/null\n"
                           "printf '%3' > \"$out\"\n")
                .arg(fixtures::shellQuoted(runsPath), fixtures::shellQuoted(gatePath),
                     sentence));
        QObject::connect(&scheduler, &WorkSummaryScheduler::workSummaryGenerated,
                         [this](const QString &path, const QString &text) {
                             generated.append({path, text});
                         });
    }

    // What a merged scan does with its states.
    void scanned(QHash<QString, LocalTeamProjectState> states)
    {
        scheduler.adoptKnownWorkSummaries(states);
        scheduler.enqueueWorkSummaries(states);
    }

    void openGate() const { home.writeFile(QStringLiteral("gate"), "open\n"); }

    int runs() const
    {
        QFile file(runsPath);
        return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
    }

    QStringList storedFingerprints() const
    {
        return readWorkSummaries(defaults, WorkSummaryScheduler::generatedWorkSummariesKey)
            .keys();
    }

    fixtures::TemporaryHome home;
    fixtures::ScopedEnvironment environment;
    const QString runsPath = home.filePath(QStringLiteral("runs"));
    const QString gatePath = home.filePath(QStringLiteral("gate"));
    const QString sentence = QStringLiteral("Adding a CSV export to the reports");
    KeyValueStore defaults{home.filePath(QStringLiteral("defaults.ini"))};
    fixtures::ManualTeamClock clock;
    WorkSummaryGenerator generator{home.filePath(QStringLiteral("tmp"))};
    WorkSummaryScheduler scheduler{generator, defaults, clock};
    Generated generated;
};

TEST_F(WorkSummarySchedulerTest, aSentenceReachesItsProjectOnlyForTheWorkItWasAskedFor)
{
    const QString path = QStringLiteral("/work/app");
    const LocalTeamProjectState first = dirtyState(QStringLiteral("app"), QString(64, u'a'));
    // One scan reported twice in one turn is one job.
    scanned({{path, first}});
    scanned({{path, first}});
    ASSERT_TRUE(waitUntil([&] { return runs() == 1; }));

    // The work moves on while its first sentence is written.
    const LocalTeamProjectState second = dirtyState(QStringLiteral("app"), QString(64, u'b'));
    scanned({{path, second}});
    openGate();

    ASSERT_TRUE(waitUntil([&] { return !generated.isEmpty(); }));
    EXPECT_EQ(generated, Generated({{path, sentence}}));
    EXPECT_EQ(runs(), 2);
    EXPECT_EQ(storedFingerprints(), QStringList{workSummaryFingerprint(second)});

    // The same work scanned again takes the sentence it has.
    QHash<QString, LocalTeamProjectState> again{{path, second}};
    scheduler.adoptKnownWorkSummaries(again);
    EXPECT_EQ(again.value(path).shared.workSummary, sentence);
}

TEST_F(WorkSummarySchedulerTest, aResetDropsTheGenerationInFlightAndTheQueueButNotTheNextScan)
{
    scanned({{QStringLiteral("/work/a"), dirtyState(QStringLiteral("a"), QString(64, u'a'))},
             {QStringLiteral("/work/b"), dirtyState(QStringLiteral("b"), QString(64, u'b'))}});
    ASSERT_TRUE(waitUntil([&] { return runs() == 1; }));

    scheduler.reset();
    const QString path = QStringLiteral("/work/c");
    scanned({{path, dirtyState(QStringLiteral("c"), QString(64, u'c'))}});
    ASSERT_TRUE(waitUntil([&] { return runs() == 2; }));
    openGate();

    ASSERT_TRUE(waitUntil([&] { return !generated.isEmpty(); }));
    EXPECT_EQ(generated, Generated({{path, sentence}}));
    EXPECT_EQ(runs(), 2);
    EXPECT_EQ(storedFingerprints(),
              QStringList{workSummaryFingerprint(dirtyState(QStringLiteral("c"),
                                                            QString(64, u'c')))});
}
