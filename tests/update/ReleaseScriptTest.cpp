#include "platform/ProcessRunner.h"
#include "support/QtPrinters.h"
#include "support/ReleaseSigningKey.h"
#include "support/TemporaryHome.h"
#include "update/AppUpdateManifest.h"
#include "update/ApplicationFolder.h"
#include "update/ApplicationSignature.h"
#include "update/ReleaseArchive.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace tolvaran {
namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The release script and the program agree: what the script signs, the program verifies.
TEST(ReleaseScript, makesAReleaseTheProgramAccepts)
{
    fixtures::TemporaryHome home;
    home.writeFile("build/CMakeCache.txt", "CMAKE_PROJECT_VERSION:STATIC=26.9.4\n");
    const QString program = home.writeFile("build/src/tolvaran", "#!/bin/sh\nexit 0\n");
    QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                       | QFileDevice::ExeOwner);
    const fixtures::ReleaseSigningKey key;
    const QString keyFile = home.writeFile("key.pem", key.privateKeyPem());

    ProcessRequest request;
    request.program = QStringLiteral(TOLVARAN_SOURCE_DIR "/scripts/make-release.sh");
    request.arguments = {home.filePath("build"), keyFile, home.filePath("out")};
    request.timeoutMilliseconds = 60'000;
    const ProcessResult result = ProcessRunner::run(request);
    ASSERT_TRUE(result.succeeded()) << result.standardError.toStdString();
    const QByteArray printedKey = "public key: " + key.publicKey().toHex();
    EXPECT_TRUE(result.standardOutput.contains(printedKey)) << result.standardOutput.toStdString();

    const AppUpdateManifest manifest =
        AppUpdateManifest::decode(readFile(home.filePath("out/v1/app/update")));
    EXPECT_NO_THROW(validateManifest(manifest));
    EXPECT_EQ(manifest.version, "26.9.4");
    const QByteArray archive = readFile(home.filePath("out") + manifest.downloadPath);
    EXPECT_EQ(manifest.size, archive.size());
    EXPECT_EQ(manifest.sha256,
              QCryptographicHash::hash(archive, QCryptographicHash::Sha256).toHex());

    QDir().mkpath(home.filePath("unpacked"));
    ReleaseArchive::unpack(home.filePath("out") + manifest.downloadPath,
                           home.filePath("unpacked"));
    const QString folder = home.filePath("unpacked/Tolvaran");
    EXPECT_EQ(ApplicationFolder::readMetadata(folder).identifier, "com.ostvik.tolvaran");
    EXPECT_EQ(ApplicationFolder::readMetadata(folder).version, "26.9.4");
    EXPECT_EQ(readFile(folder + "/bin/tolvaran"), readFile(program));
    EXPECT_NO_THROW(ApplicationSignature::verifyFolder(folder, key.publicKey()));
}

} // namespace
} // namespace tolvaran
