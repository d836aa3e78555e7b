#include "platform/storage/SqliteDatabase.h"
#include "platform/storage/SqliteStatement.h"
#include "support/TemporaryHome.h"

#include <QFile>

#include <sqlite3.h>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace tolvaran;

TEST(Sqlite, roundTripsValuesThroughPreparedStatements)
{
    fixtures::TemporaryHome home;
    SqliteDatabase db(home.filePath(QStringLiteral("t.sqlite")),
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX);
    db.execute(QStringLiteral("CREATE TABLE t (a INTEGER, b REAL, c TEXT, d BLOB)"));
    {
        SqliteTransaction transaction(db);
        SqliteStatement insert(db, QStringLiteral("INSERT INTO t VALUES (?, ?, ?, ?)"));
        insert.bind(1, qint64(1) << 40);
        insert.bind(2, 2.5);
        insert.bind(3, QStringLiteral("grüße"));
        insert.bind(4, QByteArray("\0\1", 2));
        insert.run();
        insert.reset();
        insert.bindNull(1);
        insert.run();
        transaction.commit();
    }
    SqliteStatement select(db, QStringLiteral("SELECT a, b, c, d FROM t ORDER BY rowid"));
    ASSERT_TRUE(select.step());
    EXPECT_EQ(select.int64(0), qint64(1) << 40);
    EXPECT_EQ(select.real(1), 2.5);
    EXPECT_EQ(select.text(2), QStringLiteral("grüße"));
    EXPECT_EQ(select.blob(3), QByteArray("\0\1", 2));
    ASSERT_TRUE(select.step());
    EXPECT_TRUE(select.isNull(0));
    EXPECT_EQ(select.optionalText(2), std::nullopt);
    EXPECT_FALSE(select.step());
}

TEST(Sqlite, uncommittedTransactionRollsBack)
{
    fixtures::TemporaryHome home;
    SqliteDatabase db(home.filePath(QStringLiteral("t.sqlite")),
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    db.execute(QStringLiteral("CREATE TABLE t (a INTEGER)"));
    {
        SqliteTransaction transaction(db);
        db.execute(QStringLiteral("INSERT INTO t VALUES (1)"));
    }
    SqliteStatement count(db, QStringLiteral("SELECT COUNT(*) FROM t"));
    ASSERT_TRUE(count.step());
    EXPECT_EQ(count.int64(0), 0);
}

TEST(Sqlite, failuresThrowWithTheirCause)
{
    fixtures::TemporaryHome home;
    EXPECT_THROW(SqliteDatabase(home.filePath(QStringLiteral("missing.sqlite")),
                                SQLITE_OPEN_READONLY),
                 SqliteError);
    SqliteDatabase db(home.filePath(QStringLiteral("t.sqlite")),
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    EXPECT_THROW(SqliteStatement(db, QStringLiteral("SELECT * FROM nowhere")), SqliteError);
    db.execute(QStringLiteral("CREATE TABLE t (a INTEGER NOT NULL)"));
    SqliteStatement insert(db, QStringLiteral("INSERT INTO t VALUES (NULL)"));
    try {
        insert.run();
        FAIL() << "a constraint failure must throw";
    } catch (const SqliteError &error) {
        EXPECT_EQ(error.code() & 0xff, SQLITE_CONSTRAINT);
        EXPECT_TRUE(error.message().contains(QStringLiteral("NOT NULL")));
    }
}

TEST(Sqlite, databaseFilesArePreparedOwnerOnly)
{
    fixtures::TemporaryHome home;
    const QString fresh = home.filePath(QStringLiteral("fresh.sqlite"));
    const QString shared = home.filePath(QStringLiteral("shared.sqlite"));
    QFile existing(shared);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("kept");
    existing.close();
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 0664), 0);

    const mode_t previousMask = ::umask(0);
    preparePrivateDatabaseFile(fresh);
    ::umask(previousMask);
    preparePrivateDatabaseFile(shared);

    for (const QString &path : {fresh, shared}) {
        SCOPED_TRACE(path.toStdString());
        struct stat info{};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
    }
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), QByteArray("kept"));
}
