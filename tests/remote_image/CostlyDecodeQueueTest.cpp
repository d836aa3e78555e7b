#include "remote_image/CostlyDecodeQueue.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace tolvaran::markdown {
namespace {

QUrl picture(const QString &name)
{
    return QUrl(QStringLiteral("file:///pictures/") + name);
}

// Adds a job that records its name when run, asked `asked`-th.
void add(CostlyDecodeQueue &queue, QStringList &ran, const QString &name, quint64 asked)
{
    queue.add(picture(name), asked, [&ran, name](const std::stop_token &) { ran.append(name); });
}

// Adds a job per name, asked in the order named, after those added before.
void add(CostlyDecodeQueue &queue, QStringList &ran, const QStringList &names)
{
    static quint64 asked = 0;
    for (const QString &name : names)
        add(queue, ran, name, ++asked);
}

QStringList runAll(CostlyDecodeQueue &queue, QStringList &ran)
{
    while (const CostlyDecodeQueue::Job job = queue.takeNext())
        job({});
    return std::exchange(ran, {});
}

TEST(CostlyDecodeQueue, picturesBeingDrawnGoFirstTheLatestDrawnFirstThenTheRestAsAsked)
{
    CostlyDecodeQueue queue;
    QStringList ran;
    EXPECT_FALSE(queue.takeNext());

    add(queue, ran, {"a", "b", "c", "d"});
    EXPECT_EQ(runAll(queue, ran), QStringList({"a", "b", "c", "d"}));

    // Read down past b and c, then back to a; e is drawn while it still reads from disk.
    add(queue, ran, {"a", "b", "c", "d"});
    queue.drawing(picture("b"));
    queue.drawing(picture("c"));
    queue.drawing(picture("e"));
    queue.drawing(picture("a"));
    add(queue, ran, {"e"});
    EXPECT_EQ(runAll(queue, ran), QStringList({"a", "e", "c", "b", "d"}));

    // A load that ended is forgotten: the next one waits its turn until it is drawn.
    queue.forget(picture("a"));
    queue.forget(picture("e"));
    add(queue, ran, {"b", "a", "e"});
    EXPECT_EQ(runAll(queue, ran), QStringList({"b", "a", "e"}));

    // Read from disk side by side, pictures come in another order than asked.
    add(queue, ran, "g", 1002);
    add(queue, ran, "h", 1003);
    add(queue, ran, "f", 1001);
    EXPECT_EQ(runAll(queue, ran), QStringList({"f", "g", "h"}));
}

} // namespace
} // namespace tolvaran::markdown
