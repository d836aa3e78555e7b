#include "data/catalog/ProjectTagError.h"
#include "data/catalog/ProjectTagStore.h"
#include "platform/storage/KeyValueStore.h"
#include "support/TemporaryHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace tolvaran;

namespace {

const QString snapshotKey = QStringLiteral("projectTags.snapshot.v1");

const QUuid alphaID = QUuid::fromString(QStringLiteral("11111111-1111-4111-8111-111111111111"));
const QUuid betaID = QUuid::fromString(QStringLiteral("22222222-2222-4222-8222-222222222222"));

QStringList names(const QList<ProjectTag> &tags)
{
    QStringList result;
    for (const ProjectTag &tag : tags)
        result.append(tag.name);
    return result;
}

class ProjectTagStoreTest : public ::testing::Test
{
protected:
    fixtures::TemporaryHome home;
    QString settingsPath = home.filePath(QStringLiteral("config/Tolvaran.conf"));
    std::unique_ptr<KeyValueStore> defaults = std::make_unique<KeyValueStore>(settingsPath);
    std::unique_ptr<ProjectTagStore> store = std::make_unique<ProjectTagStore>(*defaults);

    // Writes the defaults to disk and reopens them, as the next start of the program would.
    void restart()
    {
        ASSERT_TRUE(defaults->sync());
        store.reset();
        defaults = std::make_unique<KeyValueStore>(settingsPath);
        store = std::make_unique<ProjectTagStore>(*defaults);
    }
};

} // namespace

TEST_F(ProjectTagStoreTest, firstRunHasNoTagsAndAHiddenSidebar)
{
    EXPECT_EQ(store->loadSnapshot(), ProjectTagSnapshot::empty());
    EXPECT_EQ(store->snapshotKey(), snapshotKey);
    EXPECT_EQ(store->sidebarVisibilityKey(), QStringLiteral("projectTags.sidebarVisible"));
    EXPECT_FALSE(store->defaults().boolean(store->sidebarVisibilityKey()));
}

TEST_F(ProjectTagStoreTest, savedChangesSurviveARestart)
{
    const QUuid gammaID = QUuid::createUuid();
    ProjectTagSnapshot state;
    const struct
    {
        const char *what;
        std::function<void(ProjectTagSnapshot &)> change;
        QStringList expectedNames;
        qsizetype expectedAssignedPaths;
    } steps[] = {
        {"add two tags",
         [](ProjectTagSnapshot &s) {
             s.tags = {{betaID, QStringLiteral("beta")}, {alphaID, QStringLiteral("Alpha")}};
         },
         {QStringLiteral("Alpha"), QStringLiteral("beta")}, 0},
        {"assign both to one project and one to another",
         [](ProjectTagSnapshot &s) {
             s.projectTagIDsByPath[QStringLiteral("/w/app")] = {alphaID, betaID};
             s.projectTagIDsByPath[QStringLiteral("/w/lib")] = {betaID};
         },
         {QStringLiteral("Alpha"), QStringLiteral("beta")}, 2},
        {"rename and add a third",
         [&gammaID](ProjectTagSnapshot &s) {
             s.tags[0].name = QStringLiteral("Zulu");
             s.tags.append({gammaID, QStringLiteral("Gamma \U0001F680")});
         },
         {QStringLiteral("beta"), QStringLiteral("Gamma \U0001F680"), QStringLiteral("Zulu")},
         2},
        {"take a tag off a project",
         [](ProjectTagSnapshot &s) { s.projectTagIDsByPath.remove(QStringLiteral("/w/lib")); },
         {QStringLiteral("beta"), QStringLiteral("Gamma \U0001F680"), QStringLiteral("Zulu")},
         1},
        {"delete a tag still assigned",
         [](ProjectTagSnapshot &s) {
             s.tags.removeIf([](const ProjectTag &tag) { return tag.id == alphaID; });
         },
         {QStringLiteral("beta"), QStringLiteral("Gamma \U0001F680")}, 1},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.what);
        step.change(state);
        store->save(state);
        restart();
        const ProjectTagSnapshot loaded = store->loadSnapshot();
        EXPECT_EQ(names(loaded.tags), step.expectedNames);
        EXPECT_EQ(loaded.projectTagIDsByPath.size(), step.expectedAssignedPaths);
        state = loaded;
    }
    // The deleted tag's id is gone from the project that carried it.
    EXPECT_EQ(state.projectTagIDsByPath.value(QStringLiteral("/w/app")), QSet<QUuid>{betaID});
}

TEST_F(ProjectTagStoreTest, savedValueIsCompactJsonWithUpperCaseIds)
{
    ProjectTagSnapshot snapshot;
    snapshot.tags = {{alphaID, QStringLiteral("Alpha")}};
    snapshot.projectTagIDsByPath[QStringLiteral("/w/app")] = {alphaID};
    store->save(snapshot);

    const QVariant stored = defaults->value(snapshotKey);
    ASSERT_EQ(stored.typeId(), QMetaType::QByteArray);
    EXPECT_FALSE(stored.toByteArray().contains('\n'));
    const QJsonObject object = QJsonDocument::fromJson(stored.toByteArray()).object();
    EXPECT_EQ(object.keys(), (QStringList{QStringLiteral("projectTagIDsByPath"),
                                          QStringLiteral("tags")}));
    const QString idText = QStringLiteral("11111111-1111-4111-8111-111111111111");
    EXPECT_EQ(object.value(QStringLiteral("tags")).toArray().first().toObject(),
              (QJsonObject{{QStringLiteral("id"), idText}, {QStringLiteral("name"),
                                                             QStringLiteral("Alpha")}}));
    EXPECT_EQ(object.value(QStringLiteral("projectTagIDsByPath")).toObject(),
              (QJsonObject{{QStringLiteral("/w/app"), QJsonArray{idText}}}));
}

TEST_F(ProjectTagStoreTest, loadingSortsTagsAndDropsDanglingAssignments)
{
    // Names are taken as stored: untrimmed and duplicate names stay; lower-case ids are read.
    defaults->setValue(snapshotKey, QByteArray(R"({
        "tags": [
            {"id": "22222222-2222-4222-8222-222222222222", "name": "beta"},
            {"id": "11111111-1111-4111-8111-111111111111", "name": "Alpha"},
            {"id": "33333333-3333-4333-8333-333333333333", "name": "alpha"},
            {"id": "44444444-4444-4444-8444-44444444444a", "name": "beta "}
        ],
        "projectTagIDsByPath": {
            "/w/app": ["22222222-2222-4222-8222-222222222222",
                       "99999999-9999-4999-8999-999999999999"],
            "/w/gone": ["99999999-9999-4999-8999-999999999999"],
            "/w/none": [],
            "": ["22222222-2222-4222-8222-222222222222"],
            "/w/lib": ["44444444-4444-4444-8444-44444444444A"]
        }
    })"));

    const ProjectTagSnapshot loaded = store->loadSnapshot();
    EXPECT_EQ(names(loaded.tags), (QStringList{QStringLiteral("Alpha"), QStringLiteral("alpha"),
                                               QStringLiteral("beta"), QStringLiteral("beta ")}));
    QHash<QString, QSet<QUuid>> expected;
    expected[QStringLiteral("/w/app")] = {betaID};
    expected[QStringLiteral("/w/lib")] = {
        QUuid::fromString(QStringLiteral("44444444-4444-4444-8444-44444444444a"))};
    EXPECT_EQ(loaded.projectTagIDsByPath, expected);
}

TEST_F(ProjectTagStoreTest, undecodableValueIsKeptBesideTheSettingsAndTagsWorkAgain)
{
    const struct
    {
        const char *what;
        QVariant stored;
        QByteArray kept;
    } cases[] = {
        {"not JSON", QByteArray("{\"tags\": ["), QByteArray("{\"tags\": [")},
        {"not an object", QByteArray("[]"), QByteArray("[]")},
        {"no assignments", QByteArray(R"({"tags": []})"), QByteArray(R"({"tags": []})")},
        {"no tags", QByteArray(R"({"projectTagIDsByPath": {}})"),
         QByteArray(R"({"projectTagIDsByPath": {}})")},
        {"a tag without a name",
         QByteArray(R"({"tags": [{"id": "11111111-1111-4111-8111-111111111111"}]})"),
         QByteArray(R"({"tags": [{"id": "11111111-1111-4111-8111-111111111111"}]})")},
        {"an id that is no UUID",
         QByteArray(R"({"tags": [{"id": "{11111111-1111-4111-8111-111111111111}",
                                  "name": "a"}], "projectTagIDsByPath": {}})"),
         QByteArray(R"({"tags": [{"id": "{11111111-1111-4111-8111-111111111111}",
                                  "name": "a"}], "projectTagIDsByPath": {}})")},
        {"assignments that are no list",
         QByteArray(R"({"tags": [], "projectTagIDsByPath": {"/w": "x"}})"),
         QByteArray(R"({"tags": [], "projectTagIDsByPath": {"/w": "x"}})")},
        {"text instead of data", QStringLiteral(R"({"tags": [], "projectTagIDsByPath": {}})"),
         QByteArray(R"({"tags": [], "projectTagIDsByPath": {}})")},
        {"a list", QStringList{QStringLiteral("Alpha"), QStringLiteral("beta")},
         QByteArray(R"(["Alpha","beta"])")},
    };
    ProjectTagSnapshot change;
    change.tags = {{alphaID, QStringLiteral("Alpha")}};
    QSet<QString> copies;
    for (const auto &row : cases) {
        SCOPED_TRACE(row.what);
        defaults->setValue(snapshotKey, row.stored);
        restart();
        // Loading writes nothing: the damaged value stays until the next save.
        EXPECT_EQ(store->loadSnapshot(), ProjectTagSnapshot::empty());
        EXPECT_EQ(defaults->value(snapshotKey), row.stored);

        store->save(change);
        EXPECT_EQ(store->loadSnapshot(), change);
        const QStringList kept = QDir(QFileInfo(settingsPath).absolutePath())
                                     .entryList({snapshotKey + QStringLiteral(".damaged-*")});
        QStringList added;
        for (const QString &name : kept) {
            if (!copies.contains(name))
                added.append(name);
        }
        ASSERT_EQ(added.size(), 1) << kept.join(QLatin1Char(' ')).toStdString();
        copies.insert(added.first());
        QFile copy(QFileInfo(settingsPath).absolutePath() + QLatin1Char('/') + added.first());
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
        EXPECT_EQ(copy.readAll(), row.kept);
        EXPECT_EQ(copy.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
                  QFileDevice::Permissions());
    }
}

TEST(ProjectTagStoreDamagedValueTest, undecodableValueIsNotOverwrittenWhenNoCopyCanBeKept)
{
    fixtures::TemporaryHome home;
    // The settings folder is a file, so nothing can be written beside the settings.
    QFile blocker(home.filePath(QStringLiteral("config")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    KeyValueStore defaults(home.filePath(QStringLiteral("config/Tolvaran.conf")));
    ProjectTagStore store(defaults);
    const QByteArray damaged("{\"tags\": [");
    defaults.setValue(snapshotKey, damaged);

    ProjectTagSnapshot change;
    change.tags = {{alphaID, QStringLiteral("Alpha")}};
    try {
        store.save(change);
        ADD_FAILURE() << "saving over the damaged value without a copy should have failed";
    } catch (const ProjectTagError &error) {
        EXPECT_EQ(error.kind(), ProjectTagError::Kind::storageFailure);
        EXPECT_EQ(error.message(), QStringLiteral("The tag changes could not be saved."));
    }
    EXPECT_EQ(defaults.value(snapshotKey), damaged);
}
