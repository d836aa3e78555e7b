#include "support/QtPrinters.h"
#include "support/update/TarArchiveWriter.h"
#include "support/TemporaryHome.h"
#include "update/AppUpdateError.h"
#include "update/ReleaseArchive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace tolvaran {
namespace {

using fixtures::TarArchiveWriter;
using Entry = ReleaseArchive::Entry;

TEST(ReleaseArchive, parsesTarsQuotedListing)
{
    const QByteArray listing =
        "drwxr-xr-x 0/0               0 2026-12-07 08:54 \"Tolvaran/\"\n"
        "-rwxr-xr-x 0/0            1234 2026-12-07 08:54 \"Tolvaran/bin/a b -> c\"\n"
        "-rw-r--r-- 0/0               3 2026-12-07 08:54 \"Tolvaran/q\\\"\\\\\\n\\303\\251\"\n"
        "lrwxrwxrwx 0/0               0 2026-12-07 08:54 \"Tolvaran/lnk\" -> \"bin\"\n"
        "hrw-r--r-- 0/0               0 2026-12-07 08:54 \"Tolvaran/h\" link to \"Tolvaran/q\"\n"
        "crw-r--r-- 0/0             1,3 2026-12-07 08:54 \"Tolvaran/null\"\n";
    const QList<Entry> entries = ReleaseArchive::parseListing(listing);
    ASSERT_EQ(entries.size(), 6);
    EXPECT_EQ(entries[0], (Entry{Entry::Type::folder, "Tolvaran/", {}, 0}));
    EXPECT_EQ(entries[1], (Entry{Entry::Type::file, "Tolvaran/bin/a b -> c", {}, 1234}));
    EXPECT_EQ(entries[2], (Entry{Entry::Type::file, "Tolvaran/q\"\\\n\xc3\xa9", {}, 3}));
    EXPECT_EQ(entries[3], (Entry{Entry::Type::link, "Tolvaran/lnk", "bin", 0}));
    EXPECT_EQ(entries[4], (Entry{Entry::Type::hardLink, "Tolvaran/h", "Tolvaran/q", 0}));
    EXPECT_EQ(entries[5].type, Entry::Type::device);
}

TEST(ReleaseArchive, refusesListingsItCannotRead)
{
    const char *const listings[] = {
        "drwxr-xr-x 0/0 0 2026-12-07 08:54 Tolvaran/\n",
        "-rw-r--r-- 0/0 12 2026-12-07 08:54 \"Tolvaran/unterminated\n",
        "-rw-r--r-- 0/0 12 2026-12-07 08:54 \"Tolvaran/x\" trailing\n",
        "lrwxrwxrwx 0/0 0 2026-12-07 08:54 \"Tolvaran/l\"\n",
        "-rw-r--r-- 0/0 twelve 2026-12-07 08:54 \"Tolvaran/x\"\n",
    };
    for (const char *listing : listings) {
        SCOPED_TRACE(listing);
        EXPECT_THROW(ReleaseArchive::parseListing(listing), AppUpdateError);
    }
}

TEST(ReleaseArchive, entryRules)
{
    struct Row
    {
        const char *name;
        Entry entry;
        bool allowed;
    };
    const Row rows[] = {
        {"the folder", {Entry::Type::folder, "Tolvaran/", {}, 0}, true},
        {"a file", {Entry::Type::file, "Tolvaran/bin/tolvaran", {}, 10}, true},
        {"a link inside", {Entry::Type::link, "Tolvaran/lib/a.so", "a.so.6", 0}, true},
        {"a link into a subfolder", {Entry::Type::link, "Tolvaran/x", "lib/a.so", 0}, true},
        {"dot-dot in a name", {Entry::Type::file, "Tolvaran/../evil", {}, 1}, false},
        {"dot-dot at the end", {Entry::Type::folder, "Tolvaran/..", {}, 0}, false},
        {"a dot step", {Entry::Type::file, "Tolvaran/./x", {}, 1}, false},
        {"an absolute name", {Entry::Type::file, "/etc/passwd", {}, 1}, false},
        {"outside the folder", {Entry::Type::file, "Other/x", {}, 1}, false},
        {"a name that only begins like it", {Entry::Type::file, "TolvaranX/x", {}, 1}, false},
        {"the folder as a file", {Entry::Type::file, "Tolvaran", {}, 1}, false},
        {"a link up", {Entry::Type::link, "Tolvaran/l", "../../etc", 0}, false},
        {"a link to itself's parent", {Entry::Type::link, "Tolvaran/l", "..", 0}, false},
        {"an absolute link", {Entry::Type::link, "Tolvaran/l", "/etc", 0}, false},
        {"a hard link", {Entry::Type::hardLink, "Tolvaran/h", "Tolvaran/x", 0}, false},
        {"a device", {Entry::Type::device, "Tolvaran/null", {}, 0}, false},
        {"a pipe", {Entry::Type::other, "Tolvaran/fifo", {}, 0}, false},
        {"a line break in a name", {Entry::Type::file, "Tolvaran/a\nb", {}, 1}, false},
        {"a tab in a link", {Entry::Type::link, "Tolvaran/l", "a\tb", 0}, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        QList<Entry> entries{Entry{Entry::Type::folder, "Tolvaran/", {}, 0}, row.entry};
        bool allowed = true;
        try {
            ReleaseArchive::checkEntries(entries);
        } catch (const AppUpdateError &error) {
            EXPECT_EQ(error.kind(), AppUpdateError::Kind::unsafeArchive);
            allowed = false;
        }
        EXPECT_EQ(allowed, row.allowed);
    }
}

TEST(ReleaseArchive, refusesTooManyEntriesOrBytes)
{
    QList<Entry> many{Entry{Entry::Type::folder, "Tolvaran/", {}, 0}};
    for (int i = 0; i < ReleaseArchive::maximumEntries; ++i)
        many.append(Entry{Entry::Type::file, "Tolvaran/f" + QByteArray::number(i), {}, 0});
    EXPECT_THROW(ReleaseArchive::checkEntries(many), AppUpdateError);
    many.removeLast();
    EXPECT_NO_THROW(ReleaseArchive::checkEntries(many));

    const qint64 half = ReleaseArchive::maximumUnpackedBytes / 2;
    QList<Entry> large{Entry{Entry::Type::file, "Tolvaran/a", {}, half},
                       Entry{Entry::Type::file, "Tolvaran/b", {}, half + 1}};
    EXPECT_THROW(ReleaseArchive::checkEntries(large), AppUpdateError);
    EXPECT_THROW(ReleaseArchive::checkEntries({}), AppUpdateError);
}

TEST(ReleaseArchive, unpacksAGoodArchiveKeepingModesAndLinks)
{
    fixtures::TemporaryHome home;
    TarArchiveWriter writer;
    writer.addFolder("Tolvaran/");
    writer.addFolder("Tolvaran/bin/");
    writer.addFile("Tolvaran/bin/tolvaran", "#!/bin/sh\n", 0755);
    writer.add(TarArchiveWriter::Type::link, "Tolvaran/run", {}, "bin/tolvaran", 0777);
    const QString archive = home.writeFile("a.tar.gz", writer.gzipped());
    const QString destination = home.filePath("out");
    QDir().mkpath(destination);

    ReleaseArchive::unpack(archive, destination);

    const QFileInfo program(destination + "/Tolvaran/bin/tolvaran");
    EXPECT_TRUE(program.isFile());
    EXPECT_TRUE(program.permissions() & QFileDevice::ExeOwner);
    EXPECT_EQ(QFileInfo(destination + "/Tolvaran/run").symLinkTarget(), program.filePath());
}

TEST(ReleaseArchive, hostileArchivesAreRefusedBeforeAnythingIsWritten)
{
    struct Row
    {
        const char *name;
        void (*add)(TarArchiveWriter &);
    };
    const Row rows[] = {
        {"dot-dot", [](TarArchiveWriter &w) { w.addFile("Tolvaran/../escaped", "x"); }},
        {"absolute", [](TarArchiveWriter &w) { w.addFile("/tmp/tolvaran-escaped", "x"); }},
        {"link out",
         [](TarArchiveWriter &w) {
             w.add(TarArchiveWriter::Type::link, "Tolvaran/out", {}, "../../..");
         }},
        {"device",
         [](TarArchiveWriter &w) {
             w.add(TarArchiveWriter::Type::characterDevice, "Tolvaran/null", {}, {}, 0666);
         }},
        {"fifo", [](TarArchiveWriter &w) { w.add(TarArchiveWriter::Type::fifo, "Tolvaran/p"); }},
        {"hard link",
         [](TarArchiveWriter &w) {
             w.add(TarArchiveWriter::Type::hardLink, "Tolvaran/h", {}, "/etc/passwd");
         }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        fixtures::TemporaryHome home;
        TarArchiveWriter writer;
        writer.addFolder("Tolvaran/");
        writer.addFile("Tolvaran/first", "written before the bad entry");
        row.add(writer);
        const QString archive = home.writeFile("a.tar.gz", writer.gzipped());
        const QString destination = home.filePath("out");
        QDir().mkpath(destination);
        try {
            ReleaseArchive::unpack(archive, destination);
            ADD_FAILURE() << "unpacked";
        } catch (const AppUpdateError &error) {
            EXPECT_EQ(error.kind(), AppUpdateError::Kind::unsafeArchive);
        }
        EXPECT_TRUE(QDir(destination).isEmpty());
        EXPECT_FALSE(QFileInfo::exists(home.filePath("escaped")));
    }
}

TEST(ReleaseArchive, aDamagedArchiveIsTheToolsFailure)
{
    fixtures::TemporaryHome home;
    const QString archive = home.writeFile("a.tar.gz", "this is not gzip");
    QDir().mkpath(home.filePath("out"));
    try {
        ReleaseArchive::unpack(archive, home.filePath("out"));
        ADD_FAILURE() << "unpacked";
    } catch (const AppUpdateError &error) {
        EXPECT_EQ(error.kind(), AppUpdateError::Kind::commandFailed);
        EXPECT_FALSE(error.message().isEmpty());
    }
}

} // namespace
} // namespace tolvaran
