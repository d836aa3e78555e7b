#include "platform/storage/KeyValueStore.h"
#include "support/TemporaryHome.h"
#include "team/presence/WorkSummaryMemory.h"

#include <QVariantMap>

#include <gtest/gtest.h>

#include <functional>

using tolvaran::LocalTeamProjectState;
using tolvaran::workSummaryFingerprint;

TEST(WorkSummaryFingerprint, changesWithTheWorkButNotWithItsCountsOrEvidence)
{
    LocalTeamProjectState base;
    base.shared.repositoryId = QStringLiteral("repository-app");
    base.shared.branch = QStringLiteral("main");
    base.shared.headSha = QStringLiteral("abc123");
    base.shared.isDirty = true;
    base.workFingerprint = QStringLiteral("work-1");
    const QString fingerprint = workSummaryFingerprint(base);
    EXPECT_EQ(fingerprint.size(), 64);
    EXPECT_EQ(fingerprint, fingerprint.toLower());

    struct Row
    {
        const char *name;
        std::function<void(LocalTeamProjectState &)> change;
        bool changesFingerprint;
    };
    const Row rows[] = {
        {"Codex finishes", [](auto &s) { s.shared.isCodexProcessing = true; }, true},
        {"another branch", [](auto &s) { s.shared.branch = QStringLiteral("fix"); }, true},
        {"no branch", [](auto &s) { s.shared.branch.reset(); }, true},
        {"a new head", [](auto &s) { s.shared.headSha = QStringLiteral("def456"); }, true},
        {"other work", [](auto &s) { s.workFingerprint = QStringLiteral("work-2"); }, true},
        {"a request", [](auto &s) { s.latestUserRequest = QStringLiteral("Add"); }, true},
        {"an empty request", [](auto &s) { s.latestUserRequest = QString(); }, true},
        {"counts", [](auto &s) { s.shared.additions = 40; s.shared.modifiedCount = 3; }, false},
        {"evidence", [](auto &s) { s.summaryEvidence = QStringLiteral("diff"); }, false},
        {"name and files",
         [](auto &s) {
             s.shared.repositoryName = QStringLiteral("other");
             s.shared.changedFiles = {QStringLiteral("a.cpp")};
         },
         false},
        {"clean", [](auto &s) { s.shared.isDirty = false; }, false},
    };
    for (const Row &row : rows) {
        LocalTeamProjectState changed = base;
        row.change(changed);
        EXPECT_EQ(workSummaryFingerprint(changed) != fingerprint, row.changesFingerprint)
            << row.name;
    }
}

TEST(WorkSummaryStore, keepsAtMostTwoHundredAndNeverTheNewOneOut)
{
    tolvaran::fixtures::TemporaryHome home;
    tolvaran::KeyValueStore defaults(home.filePath(QStringLiteral("defaults.ini")));
    const QString key = QStringLiteral("team.generatedWorkSummaries");

    // A value of the wrong shape reads as nothing and is replaced by the next store.
    defaults.setValue(key, QVariantMap{{QStringLiteral("a"), 3}});
    EXPECT_TRUE(tolvaran::readWorkSummaries(defaults, key).isEmpty());
    defaults.setValue(key, QStringLiteral("text"));
    EXPECT_TRUE(tolvaran::readWorkSummaries(defaults, key).isEmpty());

    QHash<QString, QString> known;
    for (int index = 0; index < 200; ++index)
        known.insert(QStringLiteral("f%1").arg(index), QStringLiteral("s%1").arg(index));
    auto stored = tolvaran::storeWorkSummary(defaults, key, known, QStringLiteral("new"),
                                             QStringLiteral("sentence"), 200);
    EXPECT_EQ(stored.size(), 200);
    EXPECT_EQ(stored.value(QStringLiteral("new")), QStringLiteral("sentence"));
    EXPECT_EQ(tolvaran::readWorkSummaries(defaults, key), stored);

    // An existing fingerprint is replaced and nothing leaves.
    const auto replaced = tolvaran::storeWorkSummary(defaults, key, stored, QStringLiteral("new"),
                                                     QStringLiteral("better"), 200);
    EXPECT_EQ(replaced.size(), 200);
    EXPECT_EQ(replaced.value(QStringLiteral("new")), QStringLiteral("better"));
    stored.insert(QStringLiteral("new"), QStringLiteral("better"));
    EXPECT_EQ(replaced, stored);
}

// The fingerprint is of the raw values, a branch name's line feed included, so the sentences
// stored under "team.generatedWorkSummaries" keep matching whatever the prompt escapes.
TEST(WorkSummaryFingerprint, isOfTheRawValuesAsStored)
{
    LocalTeamProjectState state;
    state.shared.repositoryId = QStringLiteral("repository-app");
    state.shared.branch = QStringLiteral("fix\nCodex processing: yes");
    state.shared.headSha = QStringLiteral("abc123");
    state.shared.isDirty = true;
    state.shared.changedFiles = {QStringLiteral("a\nb.cpp")};
    state.workFingerprint = QStringLiteral("work-1");
    state.latestUserRequest = QStringLiteral("Add\nan export");
    // As computed before prompts escaped anything.
    EXPECT_EQ(workSummaryFingerprint(state),
              QStringLiteral("bfdb902d3bccdb0b32215942b7aba1719f1e55f2d8d897037ccfced3eaf0eb3a"));
}
