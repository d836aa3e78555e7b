#include "platform/ProcessRunner.h"
#include "support/QtPrinters.h"
#include "support/update/ReleaseSigningKey.h"
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

// The release script and the program agree: what the script signs, the program verifies. The
// release is the application folder of this build's install, desktop entry and icons included.
TEST(ReleaseScript, makesAReleaseTheProgramAccepts)
{
    fixtures::TemporaryHome home;
    const fixtures::ReleaseSigningKey key;
    const QString keyFile = home.writeFile("key.pem", key.privateKeyPem());

    ProcessRequest request;
    request.program = QStringLiteral(TOLVARAN_SOURCE_DIR "/scripts/make-release.sh");
    request.arguments = {TOLVARAN_BINARY_DIR, keyFile, home.filePath("out")};
    request.timeoutMilliseconds = 120'000;
    const ProcessResult result = ProcessRunner::run(request);
    ASSERT_TRUE(result.succeeded()) << result.standardError.toStdString();
    const QByteArray printedKey = "public key: " + key.publicKey().toHex();
    EXPECT_TRUE(result.standardOutput.contains(printedKey)) << result.standardOutput.toStdString();

    const AppUpdateManifest manifest =
        AppUpdateManifest::decode(readFile(home.filePath("out/v1/app/update")));
    EXPECT_NO_THROW(validateManifest(manifest));
    EXPECT_EQ(manifest.version, TOLVARAN_PROJECT_VERSION);
    const QByteArray archive = readFile(home.filePath("out") + manifest.downloadPath);
    EXPECT_EQ(manifest.size, archive.size());
    EXPECT_EQ(manifest.sha256,
              QCryptographicHash::hash(archive, QCryptographicHash::Sha256).toHex());

    QDir().mkpath(home.filePath("unpacked"));
    ReleaseArchive::unpack(home.filePath("out") + manifest.downloadPath,
                           home.filePath("unpacked"));
    const QString folder = home.filePath("unpacked/Tolvaran");
    EXPECT_EQ(ApplicationFolder::readMetadata(folder).identifier, "com.ostvik.tolvaran");
    EXPECT_EQ(ApplicationFolder::readMetadata(folder).version, TOLVARAN_PROJECT_VERSION);
    // The build's program without its debug information, as the install strips it.
    ProcessRequest strip;
    strip.program = "strip";
    strip.arguments = {"-o", home.filePath("stripped"), TOLVARAN_BINARY_DIR "/src/tolvaran"};
    ASSERT_TRUE(ProcessRunner::run(strip).succeeded());
    EXPECT_EQ(readFile(folder + "/bin/tolvaran"), readFile(home.filePath("stripped")));
    EXPECT_TRUE(QFile::exists(folder + "/share/applications/com.ostvik.tolvaran.desktop"));
    const QString icons = folder + "/share/icons/hicolor/";
    EXPECT_TRUE(QFile::exists(icons + "scalable/apps/com.ostvik.tolvaran.svg"));
    EXPECT_TRUE(QFile::exists(icons + "48x48/apps/com.ostvik.tolvaran.png"));
    EXPECT_NO_THROW(ApplicationSignature::verifyFolder(folder, key.publicKey()));
}

} // namespace
} // namespace tolvaran
