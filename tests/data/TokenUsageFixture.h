#pragma once

// What the tests of the token-usage index share: usage lines dated around one fixed time, and
// a store over a temporary home whose rollouts they write.

#include "data/codex/CodexThread.h"
#include "data/token_usage/TokenUsageStore.h"
#include "platform/storage/SqliteDatabase.h"
#include "platform/storage/SqliteStatement.h"
#include "support/codex/RolloutLines.h"
#include "support/TemporaryHome.h"

#include <QFile>
#include <QTimeZone>

#include <sqlite3.h>

#include <gtest/gtest.h>

namespace tolvaran::fixtures {

// 2026-02-01T12:00:00Z.
inline const Timestamp now = Timestamp::fromSeconds(1769947200.0);
inline const Timestamp weekReset = now.addingSeconds(86400);

inline rollout::TokenCount count(qint64 input, qint64 output, qint64 cached = 0)
{
    rollout::TokenCount c;
    c.last.input = input;
    c.last.output = output;
    c.last.cachedInput = cached;
    c.total = c.last;
    return c;
}

inline QByteArray usageLine(qint64 input, qint64 output = 0, double minutesAgo = 10)
{
    return rollout::tokenCount(now.addingSeconds(-60 * minutesAgo), count(input, output));
}

class TokenUsageFixture : public ::testing::Test
{
protected:
    QString supportFolder() const { return home.filePath(QStringLiteral("support/Tolvaran")); }
    QString databasePath() const { return store.databasePath(); }

    QString writeRollout(const QString &name, const QByteArray &contents) const
    {
        return home.writeFile(QStringLiteral("codex/sessions/") + name, contents);
    }

    static void append(const QString &path, const QByteArray &contents)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        ASSERT_EQ(file.write(contents), contents.size());
    }

    static CodexThread thread(const QString &id, const QString &rolloutPath,
                              const QString &cwd = QStringLiteral("/work/app"),
                              double updatedSecondsAgo = 0)
    {
        CodexThread t;
        t.id = id;
        t.rolloutPath = rolloutPath;
        t.cwd = cwd;
        t.updatedAt = now.addingSeconds(-updatedSecondsAgo);
        t.recencyAt = t.updatedAt;
        t.model = QStringLiteral("gpt-5.5");
        return t;
    }

    TokenUsageSnapshot refresh(const QList<CodexThread> &threads)
    {
        return store.refresh(threads, now);
    }

    // Counts every commit that changed the index, made by any other connection.
    qint64 dataVersion(SqliteDatabase &observer) const
    {
        SqliteStatement query(observer, QStringLiteral("PRAGMA data_version"));
        EXPECT_TRUE(query.step());
        return query.int64(0);
    }

    SqliteDatabase observe() const
    {
        return SqliteDatabase(databasePath(), SQLITE_OPEN_READONLY);
    }

    qint64 rowCount(const QString &table) const
    {
        SqliteDatabase db(databasePath(), SQLITE_OPEN_READONLY);
        SqliteStatement query(db, QStringLiteral("SELECT COUNT(*) FROM ") + table);
        EXPECT_TRUE(query.step());
        return query.int64(0);
    }

    TemporaryHome home;
    TokenUsageStore store{supportFolder(), QTimeZone::utc()};
};

} // namespace tolvaran::fixtures
