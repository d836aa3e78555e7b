#include "CoordinatorDouble.h"

#include "coordinator/actions/ProjectTagController.h"
#include "coordinator/actions/ProjectTagEditing.h"
#include "coordinator/actions/ProjectTagSaver.h"
#include "data/catalog/ProjectTagError.h"
#include "data/catalog/ProjectTagStore.h"
#include "platform/storage/KeyValueStore.h"
#include "support/QtPrinters.h"
#include "support/TemporaryHome.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <semaphore>

using namespace tolvaran;
using namespace tolvaran::ProjectTagEditing;

namespace {

const QUuid workID = QUuid::fromString(QStringLiteral("11111111-1111-4111-8111-111111111111"));
const QUuid homeID = QUuid::fromString(QStringLiteral("22222222-2222-4222-8222-222222222222"));

QStringList names(const QList<ProjectTag> &tags)
{
    QStringList result;
    for (const ProjectTag &tag : tags)
        result << tag.name;
    return result;
}

ProjectTagSnapshot twoTags()
{
    ProjectTagSnapshot state;
    state.tags = {{homeID, QStringLiteral("home")}, {workID, QStringLiteral("Work")}};
    state.projectTagIDsByPath.insert(QStringLiteral("/p/api"), {workID, homeID});
    state.projectTagIDsByPath.insert(QStringLiteral("/p/web"), {workID});
    return state;
}

// The sentence `edit` fails with; empty when it does not fail.
template <typename Edit>
QString refusal(Edit edit)
{
    try {
        edit();
    } catch (const ProjectTagError &error) {
        return error.message();
    }
    return {};
}

CodexThread thread(const QString &id, const QString &cwd)
{
    CodexThread t;
    t.id = id;
    t.cwd = cwd;
    return t;
}

} // namespace

TEST(ProjectTagRules, namesAreTrimmedAndCountedAsAReaderCountsThem)
{
    const QString family = QString::fromUtf8("\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x91\xa7");
    const QString accented = QStringLiteral("e\u0301");
    const QString tooLong = QStringLiteral("Tag names must be 40 characters or fewer.");
    struct Row
    {
        QString name;
        QString accepted; // empty: refused with `message`
        QString message;
    };
    const Row rows[] = {
        {QStringLiteral("  Work \n"), QStringLiteral("Work"), {}},
        {QStringLiteral(" \t\n "), {}, QStringLiteral("Enter a tag name.")},
        {QString(40, QLatin1Char('x')), QString(40, QLatin1Char('x')), {}},
        {QString(41, QLatin1Char('x')), {}, tooLong},
        {family.repeated(40), family.repeated(40), {}},
        {accented.repeated(40), accented.repeated(40), {}},
        {accented.repeated(41), {}, tooLong},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name.toStdString());
        if (row.accepted.isEmpty())
            EXPECT_EQ(refusal([&] { validatedTagName(row.name); }), row.message);
        else
            EXPECT_EQ(validatedTagName(row.name), row.accepted);
    }
}

TEST(ProjectTagRules, namesAreUniqueIgnoringLetterCase)
{
    const QString duplicate = QStringLiteral("A tag with that name already exists.");
    const ProjectTagSnapshot state = twoTags();
    EXPECT_EQ(refusal([&] { addingTag(state, QStringLiteral(" WORK ")); }), duplicate);
    EXPECT_EQ(refusal([&] { renamingTag(state, homeID, QStringLiteral("work")); }), duplicate);

    const auto renamed = renamingTag(state, workID, QStringLiteral("work"));
    ASSERT_TRUE(renamed);
    EXPECT_EQ(names(renamed->tags), QStringList({"home", "work"}));
    EXPECT_EQ(renamed->projectTagIDsByPath, state.projectTagIDsByPath);
    EXPECT_FALSE(renamingTag(state, QUuid::createUuid(), QStringLiteral("new")));
}

TEST(ProjectTagRules, tagsStayInTagOrder)
{
    ProjectTagSnapshot state;
    state = addingTag(state, QStringLiteral("beta"));
    state = addingTag(state, QStringLiteral("Alpha"));
    EXPECT_EQ(names(state.tags), QStringList({"Alpha", "beta"}));
    const auto renamed = renamingTag(state, state.tags[0].id, QStringLiteral("gamma"));
    ASSERT_TRUE(renamed);
    EXPECT_EQ(names(renamed->tags), QStringList({"beta", "gamma"}));
}

TEST(ProjectTagRules, assignmentsNeverKeepAnEmptySet)
{
    const QString path = QStringLiteral("/p/new");
    ProjectTagSnapshot state = twoTags();
    const auto on = togglingTag(state, homeID, path);
    ASSERT_TRUE(on);
    EXPECT_EQ(on->projectTagIDsByPath.value(path), QSet<QUuid>{homeID});
    const auto off = togglingTag(*on, homeID, path);
    ASSERT_TRUE(off);
    EXPECT_EQ(*off, state);
    EXPECT_FALSE(togglingTag(state, QUuid::createUuid(), path));

    const ProjectTagSnapshot deleted = deletingTag(state, workID);
    EXPECT_EQ(names(deleted.tags), QStringList({"home"}));
    EXPECT_EQ(deleted.projectTagIDsByPath,
              (QHash<QString, QSet<QUuid>>{{QStringLiteral("/p/api"), {homeID}}}));
    EXPECT_EQ(deletingTag(state, QUuid::createUuid()), state);
}

TEST(ProjectTagRules, sidebarCountsAndCardTags)
{
    const QString api = QStringLiteral("/p/api");
    const QString web = QStringLiteral("/p/web");
    const QString cli = QStringLiteral("/p/cli");
    const QList<CodexProject> projects = {
        CodexProject(api, {thread("a1", api), thread("a2", api)}, false, {"a1"}, {"a2"}),
        CodexProject(web, {thread("w1", web)}, false, {}, {"w1"}),
        CodexProject(cli, {thread("c1", cli)}, false, {"c1"}, {}),
    };
    const ProjectTagSnapshot state = twoTags();
    EXPECT_EQ(projectStatus(projects, state, std::nullopt), (ProjectTagStatus{3, 2, 2}));
    EXPECT_EQ(projectStatus(projects, state, workID), (ProjectTagStatus{2, 1, 2}));
    EXPECT_EQ(projectStatus(projects, state, QUuid::createUuid()), ProjectTagStatus{});

    EXPECT_EQ(names(tagsForProjectPath(state, api)), QStringList({"home", "Work"}));
    EXPECT_TRUE(tagsForProjectPath(state, cli).isEmpty());
}

namespace {

class TagWorld : public ::testing::Test
{
protected:
    // Makes the stored value unreadable, so that the store refuses every save.
    // A damaged saved value where no copy of it can be kept (the settings folder is a file):
    // the store then refuses to save.
    void breakStore()
    {
        defaults.setValue(store.snapshotKey(), QByteArrayLiteral("{broken"));
        QDir(home.filePath(QStringLiteral("config"))).removeRecursively();
        QFile blocker(home.filePath(QStringLiteral("config")));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }

    fixtures::TemporaryHome home;
    KeyValueStore defaults{home.filePath(QStringLiteral("config/Tolvaran.conf"))};
    ProjectTagStore store{defaults};
    fixtures::CoordinatorDouble coordinator;
};

} // namespace

TEST_F(TagWorld, anOlderSaveNeverOverwritesANewerOne)
{
    std::binary_semaphore releaseFirst(0);
    std::atomic<bool> holding = false;
    const ProjectTagSnapshot first = addingTag({}, QStringLiteral("first"));
    const ProjectTagSnapshot second = addingTag(first, QStringLiteral("second"));
    // The first save is held back until the second has been written, as a busy pool may.
    ProjectTagSaver saver(store, coordinator.work, [&](const ProjectTagSnapshot &snapshot) {
        if (snapshot == first) {
            holding = true;
            releaseFirst.acquire();
        }
    });
    QList<std::optional<QString>> outcomes;
    const auto record = [&](const std::optional<QString> &failure) { outcomes << failure; };

    saver.save(first, record);
    ASSERT_TRUE(fixtures::waitUntil([&] { return holding.load(); }));
    saver.save(second, record);
    ASSERT_TRUE(fixtures::waitUntil([&] { return outcomes.size() == 1; }));
    releaseFirst.release();
    ASSERT_TRUE(fixtures::waitUntil([&] { return outcomes.size() == 2; }));

    EXPECT_EQ(outcomes, (QList<std::optional<QString>>{std::nullopt, std::nullopt}));
    EXPECT_EQ(store.loadSnapshot(), second);
}

TEST_F(TagWorld, editsArePublishedAtOnceAndRefusalsOnlySetTheMessage)
{
    ProjectTagController tags(coordinator.access(), store);
    tags.addTag(QStringLiteral("  Work "));
    ASSERT_EQ(names(coordinator.tagState.tags), QStringList({"Work"}));
    const QUuid work = coordinator.tagState.tags[0].id;
    tags.toggleTag(work, QStringLiteral("/p/api"));
    const ProjectTagSnapshot applied = coordinator.tagState;

    tags.addTag(QStringLiteral("WORK"));
    EXPECT_EQ(coordinator.tagErrorMessage, QStringLiteral("A tag with that name already exists."));
    tags.renameTag(work, QString(41, QLatin1Char('x')));
    EXPECT_EQ(coordinator.tagErrorMessage,
              QStringLiteral("Tag names must be 40 characters or fewer."));
    EXPECT_EQ(coordinator.tagState, applied);
    ASSERT_TRUE(fixtures::waitUntil([&] { return store.loadSnapshot() == applied; }));

    coordinator.selectedTagID = work;
    tags.deleteTag(work);
    EXPECT_EQ(coordinator.tagState, ProjectTagSnapshot{});
    EXPECT_EQ(coordinator.selectedTagID, std::nullopt);
    EXPECT_EQ(coordinator.tagErrorMessage, std::nullopt);
    ASSERT_TRUE(fixtures::waitUntil([&] { return store.loadSnapshot() == ProjectTagSnapshot{}; }));
}

TEST_F(TagWorld, aFailedSaveBringsTheTagsBackUnlessTheyChangedAgain)
{
    ProjectTagController tags(coordinator.access(), store);
    coordinator.tagState = twoTags();
    breakStore();
    bool done = false;
    tags.saveTags(deletingTag(twoTags(), workID), [&] { done = true; });
    ASSERT_TRUE(fixtures::waitUntil([&] { return done; }));
    EXPECT_EQ(coordinator.tagState, twoTags());
    EXPECT_EQ(coordinator.tagErrorMessage, QStringLiteral("The tag changes could not be saved."));

    // A failure that arrives after a newer change is dropped, and the newer change is saved.
    std::binary_semaphore releaseNewer(0);
    const ProjectTagSnapshot older = deletingTag(twoTags(), workID);
    const ProjectTagSnapshot newer = deletingTag(older, homeID);
    ProjectTagController held(coordinator.access(), store, [&](const ProjectTagSnapshot &s) {
        if (s == newer)
            releaseNewer.acquire();
    });
    bool olderDone = false;
    bool newerDone = false;
    held.saveTags(older, [&] { olderDone = true; });
    held.saveTags(newer, [&] { newerDone = true; });
    ASSERT_TRUE(fixtures::waitUntil([&] { return olderDone; }));
    EXPECT_EQ(coordinator.tagState, newer);
    EXPECT_EQ(coordinator.tagErrorMessage, std::nullopt);

    defaults.remove(store.snapshotKey());
    releaseNewer.release();
    ASSERT_TRUE(fixtures::waitUntil([&] { return newerDone; }));
    EXPECT_EQ(coordinator.tagState, newer);
    EXPECT_EQ(coordinator.tagErrorMessage, std::nullopt);
    EXPECT_EQ(store.loadSnapshot(), newer);
}
