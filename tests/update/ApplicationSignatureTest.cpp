#include "support/QtPrinters.h"
#include "support/update/ReleaseBuilder.h"
#include "support/update/ReleaseSigningKey.h"
#include "support/TemporaryHome.h"
#include "update/AppUpdateError.h"
#include "update/ApplicationSignature.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/types.h>

namespace tolvaran {
namespace {

namespace ReleaseBuilder = fixtures::ReleaseBuilder;

bool verifies(const QString &folder, const QByteArray &key)
{
    try {
        ApplicationSignature::verifyFolder(folder, key);
        return true;
    } catch (const AppUpdateError &error) {
        EXPECT_EQ(error.kind(), AppUpdateError::Kind::invalidSignature);
        EXPECT_EQ(error.message(), "The downloaded app is not signed by Tolvaran's maker.");
        return false;
    }
}

void append(const QString &path, const QByteArray &text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write(text);
}

TEST(ApplicationSignature, listsEntriesInByteOrderWithKindsHashesAndLinks)
{
    fixtures::TemporaryHome home;
    const QString folder = home.filePath("Tolvaran");
    home.writeFile("Tolvaran/b", "");
    home.writeFile("Tolvaran/a/x", "x");
    QFile::link("b", folder + "/B");
    QFile::setPermissions(folder + "/b", QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const QByteArray emptyHash =
        "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
    const QByteArray xHash = "2d711642b726b04401627ca9fbac32f5c8530fb1903cc4db02258717921a4881";
    EXPECT_EQ(ApplicationSignature::canonicalListing(folder),
              "l\tB\tb\n"
              "d\ta\n"
              "f\t-\t" + xHash + "\ta/x\n"
              "f\tx\t" + emptyHash + "\tb\n");
}

TEST(ApplicationSignature, anyChangeToTheSignedFolderBreaksTheSignature)
{
    struct Row
    {
        const char *name;
        void (*change)(const QString &folder);
        bool verifies;
    };
    const Row rows[] = {
        {"as signed", [](const QString &) {}, true},
        {"a changed file", [](const QString &f) { append(f + "/lib/readme.txt", "!"); }, false},
        {"an added file",
         [](const QString &f) {
             QFile file(f + "/lib/extra");
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
         },
         false},
        {"an added folder", [](const QString &f) { QDir().mkpath(f + "/new"); }, false},
        {"a removed file", [](const QString &f) { QFile::remove(f + "/lib/readme.txt"); },
         false},
        {"a renamed file",
         [](const QString &f) { QFile::rename(f + "/lib/readme.txt", f + "/lib/README.txt"); },
         false},
        {"a lost executable bit",
         [](const QString &f) {
             QFile::setPermissions(f + "/bin/tolvaran",
                                   QFileDevice::ReadOwner | QFileDevice::WriteOwner);
         },
         false},
        {"a file replaced by a link",
         [](const QString &f) {
             QFile::remove(f + "/lib/readme.txt");
             QFile::link("../application.json", f + "/lib/readme.txt");
         },
         false},
        {"a pipe added",
         [](const QString &f) {
             ::mkfifo(QFile::encodeName(f + "/lib/pipe").constData(), 0600);
         },
         false},
        {"a damaged signature file",
         [](const QString &f) {
             QFile file(f + "/application.signature");
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             file.write("not base64 at all!");
         },
         false},
        {"no signature file",
         [](const QString &f) { QFile::remove(f + "/application.signature"); }, false},
    };
    const fixtures::ReleaseSigningKey key;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        fixtures::TemporaryHome home;
        const QString folder = home.filePath("Tolvaran");
        ReleaseBuilder::writeApplicationFolder(folder, "26.9.1");
        ReleaseBuilder::signApplicationFolder(folder, key);
        row.change(folder);
        EXPECT_EQ(verifies(folder, key.publicKey()), row.verifies);
    }
}

TEST(ApplicationSignature, anotherKeyDoesNotVerify)
{
    fixtures::TemporaryHome home;
    const QString folder = home.filePath("Tolvaran");
    ReleaseBuilder::writeApplicationFolder(folder, "26.9.1");
    const fixtures::ReleaseSigningKey maker;
    const fixtures::ReleaseSigningKey stranger;
    ReleaseBuilder::signApplicationFolder(folder, stranger);
    EXPECT_FALSE(verifies(folder, maker.publicKey()));
    EXPECT_FALSE(verifies(folder, QByteArray(32, '\0')));
    EXPECT_FALSE(verifies(folder, QByteArray()));
    EXPECT_TRUE(verifies(folder, stranger.publicKey()));
}

} // namespace
} // namespace tolvaran
