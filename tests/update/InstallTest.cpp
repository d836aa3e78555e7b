#include "platform/AppBrand.h"
#include "platform/ProcessRunner.h"
#include "support/QtPrinters.h"
#include "support/TemporaryHome.h"
#include "update/ApplicationFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <gtest/gtest.h>

namespace tolvaran {
namespace {

ProcessResult runTool(const QString &program, const QStringList &arguments)
{
    ProcessRequest request;
    request.program = program;
    request.arguments = arguments;
    request.timeoutMilliseconds = 120'000;
    return ProcessRunner::run(request);
}

// `cmake --install` of this build tree, as scripts/install.sh runs it.
ProcessResult install(const QString &prefix)
{
    return runTool(QStringLiteral(TOLVARAN_CMAKE_COMMAND),
                   {"--install", TOLVARAN_BINARY_DIR, "--prefix", prefix});
}

// The same by whoever runs it with a umask that lets nobody else read what is made: a root
// hardened so, or a sudo from such a user.
ProcessResult installUnderStrictUmask(const QString &prefix)
{
    return runTool("/bin/sh", {"-c", "umask 077 && exec \"$@\"", "sh", TOLVARAN_CMAKE_COMMAND,
                               "--install", TOLVARAN_BINARY_DIR, "--prefix", prefix});
}

ProcessResult uninstall(const QString &prefix)
{
    return runTool(QStringLiteral(TOLVARAN_SOURCE_DIR "/scripts/install.sh"),
                   {"--uninstall", "--prefix", prefix});
}

QString failure(const ProcessResult &result)
{
    return QString::fromUtf8(result.standardOutput + result.standardError) + result.errorMessage;
}

// The value of a desktop entry's key, as a launcher reads it: the string escapes undone.
QString entryValue(const QString &entryPath, const QString &key)
{
    QFile file(entryPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString prefix = key + QLatin1Char('=');
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (!line.startsWith(prefix))
            continue;
        QString value;
        const QString raw = line.mid(prefix.size());
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] == QLatin1Char('\\') && i + 1 < raw.size() && raw[i + 1] == '\\')
                ++i;
            value += raw[i];
        }
        return value;
    }
    return {};
}

// The program an Exec value starts: its first argument with the desktop entry's quoting
// undone (and `%%` read as `%`).
QString execProgram(const QString &exec)
{
    QString program;
    bool quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (quoted && c == '\\' && i + 1 < exec.size()) {
            program += exec[++i];
        } else if (c == '%' && i + 1 < exec.size() && exec[i + 1] == '%') {
            program += exec[++i];
        } else if (!quoted && c == ' ') {
            break;
        } else {
            program += c;
        }
    }
    return program;
}

void expectValidEntry(const QString &entryPath)
{
    ASSERT_TRUE(QFileInfo(entryPath).isFile()) << entryPath.toStdString();
    const ProcessResult validation = runTool("desktop-file-validate", {entryPath});
    ASSERT_TRUE(validation.started) << "desktop-file-validate is missing (desktop-file-utils)";
    EXPECT_TRUE(validation.succeeded()) << failure(validation).toStdString();
    EXPECT_EQ(entryValue(entryPath, "Icon"), "com.ostvik.tolvaran");
    EXPECT_EQ(entryValue(entryPath, "Type"), "Application");
}

// What is left under `prefix`: every path, relative, with a trailing slash for folders.
QStringList entriesUnder(const QString &prefix)
{
    QStringList entries;
    QDirIterator it(prefix, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString relative = QDir(prefix).relativeFilePath(info.filePath());
        entries.append(info.isDir() && !info.isSymLink() ? relative + '/' : relative);
    }
    entries.sort();
    return entries;
}

// The install makes an application folder the updater accepts, with the program, its
// metadata, a working link, a valid desktop entry and the icons where desktops look for an
// application's icons; installing again goes over it. The prefix has a space and
// a `$` so that the entry's Exec quoting is exercised.
TEST(Install, makesAnApplicationFolderTheUpdaterAcceptsWithItsEntryAndIcon)
{
    fixtures::TemporaryHome home;
    const QString prefix = home.filePath("my apps$");
    for (int round = 0; round < 2; ++round) {
        const ProcessResult installed = install(prefix);
        ASSERT_TRUE(installed.succeeded()) << failure(installed).toStdString();
    }

    const QString folder = prefix + "/lib/Tolvaran";
    const QString program = folder + "/bin/tolvaran";
    EXPECT_TRUE(QFileInfo(program).isExecutable());
    const ApplicationFolder::Metadata metadata = ApplicationFolder::readMetadata(folder);
    EXPECT_EQ(metadata.identifier, AppBrand::identifier);
    EXPECT_EQ(metadata.version, TOLVARAN_PROJECT_VERSION);
    EXPECT_EQ(ApplicationFolder::replaceableFolder(program), folder);
    EXPECT_EQ(QFileInfo(prefix + "/bin/tolvaran").canonicalFilePath(),
              QFileInfo(program).canonicalFilePath());
    // Beside it, where it looks first, the program it decodes pictures in, which runs there.
    const ProcessResult decoder =
        runTool(folder + "/bin/tolvaran-picture-decoder", {"--check-sandbox"});
    EXPECT_TRUE(decoder.succeeded()) << failure(decoder).toStdString();

    const QString entry = prefix + "/share/applications/com.ostvik.tolvaran.desktop";
    expectValidEntry(entry);
    EXPECT_EQ(execProgram(entryValue(entry, "Exec")), program);
    // The folder carries the entry too, so that a release (the folder) has it.
    const QString carried = folder + "/share/applications/com.ostvik.tolvaran.desktop";
    expectValidEntry(carried);
    EXPECT_EQ(entryValue(carried, "Exec"), "tolvaran");

    for (const QString &share : QStringList{prefix + "/share", folder + "/share"}) {
        SCOPED_TRACE(share.toStdString());
        const QString icons = share + "/icons/hicolor/";
        EXPECT_TRUE(QFileInfo(icons + "scalable/apps/com.ostvik.tolvaran.svg").isFile());
        for (int size : {16, 32, 48, 256}) {
            const QString png = icons + QString("%1x%1/apps/com.ostvik.tolvaran.png").arg(size);
            EXPECT_EQ(QImageReader(png).size(), QSize(size, size)) << png.toStdString();
        }
    }
}

// Uninstalling removes every file the install made and the folder an update may have
// changed or left a copy of, and leaves other programs' files and the shared folders alone.
TEST(Install, uninstallLeavesNothingOfOursBehind)
{
    fixtures::TemporaryHome home;
    const QString prefix = home.filePath("prefix");
    home.writeFile("prefix/share/applications/other.desktop", "[Desktop Entry]\n");
    QDir().mkpath(prefix + "/bin");
    QFile::link("../lib/Other/bin/other", prefix + "/bin/tolvaran-other");
    const ProcessResult installed = install(prefix);
    ASSERT_TRUE(installed.succeeded()) << failure(installed).toStdString();
    // What an update leaves: a new file in the folder, and the backup of one cut short.
    home.writeFile("prefix/lib/Tolvaran/share/new-in-this-release", "x");
    home.writeFile("prefix/lib/.Tolvaran.backup-0A1B/bin/tolvaran", "x");

    const ProcessResult removed = uninstall(prefix);
    ASSERT_TRUE(removed.succeeded()) << failure(removed).toStdString();
    EXPECT_EQ(entriesUnder(prefix),
              (QStringList{"bin/", "bin/tolvaran-other", "lib/", "share/", "share/applications/",
                           "share/applications/other.desktop"}));

    // Removing what is not there is no failure.
    EXPECT_TRUE(uninstall(prefix).succeeded());
}

// The folders the install makes, and everything in them, are readable (and the program
// runnable) by every user whatever the umask; a folder that was there keeps its mode, and
// uninstalling leaves the shared folders it made readable by all.
TEST(Install, underAStrictUmaskEveryUserMayStartTheProgramAndSeeItsEntry)
{
    fixtures::TemporaryHome home;
    const QString prefix = home.filePath("prefix");
    QDir().mkpath(prefix + "/lib");
    const auto ownerAndGroup = QFileDevice::ReadOwner | QFileDevice::WriteOwner
                               | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                               | QFileDevice::ExeGroup;
    QFile::setPermissions(prefix + "/lib", ownerAndGroup);
    const ProcessResult installed = installUnderStrictUmask(prefix);
    ASSERT_TRUE(installed.succeeded()) << failure(installed).toStdString();

    const auto hiddenFromOthers = [&] {
        QStringList hidden;
        for (const QString &entry : entriesUnder(prefix)) {
            const QFileInfo info(prefix + '/' + entry);
            if (info.isSymLink() || entry == "lib/")
                continue;
            const bool folder = info.isDir();
            if (!info.permission(QFileDevice::ReadOther)
                || ((folder || entry.endsWith("bin/tolvaran"))
                    && !info.permission(QFileDevice::ExeOther)))
                hidden.append(entry);
        }
        return hidden;
    };
    EXPECT_EQ(hiddenFromOthers(), QStringList{});
    EXPECT_TRUE(entriesUnder(prefix).contains("lib/Tolvaran/bin/tolvaran"));
    EXPECT_FALSE(QFileInfo(prefix + "/lib").permission(QFileDevice::ReadOther));

    const ProcessResult removed = uninstall(prefix);
    ASSERT_TRUE(removed.succeeded()) << failure(removed).toStdString();
    EXPECT_EQ(entriesUnder(prefix),
              (QStringList{"bin/", "lib/", "share/", "share/applications/"}));
    EXPECT_EQ(hiddenFromOthers(), QStringList{});
}

} // namespace
} // namespace tolvaran
