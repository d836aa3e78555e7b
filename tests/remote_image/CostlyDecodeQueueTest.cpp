#include "remote_image/CostlyDecodeQueue.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace tolvaran::markdown {
namespace {

QUrl picture(const QString &name)
{
    return QUrl(QStringLiteral("file:///pictures/") + name);
}

// Applies `step`, a verb and the pictures it names: "add" queues their decoding, a job that
// records its name when run, asked in the order named after those added before, or as the
// number after a colon says ("add b:2 a:1"); "draw" and "leave" tell that they are drawn and
// that they left the view; "forget" that their loads ended.
void apply(CostlyDecodeQueue &queue, QStringList &ran, quint64 &asked, const QString &step)
{
    QStringList names = step.split(u' ');
    const QString verb = names.takeFirst();
    for (const QString &named : std::as_const(names)) {
        const QString name = named.section(u':', 0, 0);
        if (verb == QLatin1String("add"))
            queue.add(picture(name), named.contains(u':') ? named.section(u':', 1).toULongLong()
                                                          : ++asked,
                      [&ran, name](const std::stop_token &) { ran.append(name); });
        else if (verb == QLatin1String("draw"))
            queue.drawing(picture(name));
        else if (verb == QLatin1String("leave"))
            queue.stoppedDrawing(picture(name));
        else if (verb == QLatin1String("forget"))
            queue.forget(picture(name));
        else
            FAIL() << "no such step: " << step.toStdString();
    }
}

TEST(CostlyDecodeQueue, picturesInViewGoFirstLatestDrawnFirstThenThoseNeverDrawnThenThoseLeft)
{
    const struct
    {
        const char *name;
        QStringList steps;
        QString order;
    } rows[] = {
        {"in the order asked", {"add a b c d"}, "a b c d"},
        {"being drawn first, the latest drawn first, also one drawn before it is asked",
         {"add a b c d", "draw b c e a", "add e"}, "a e c b d"},
        {"a load that ended is forgotten: the next waits its turn until it is drawn",
         {"draw b a", "forget a", "add a b"}, "b a"},
        {"a picture never drawn before those drawn earlier that left the view, as asked",
         {"add a b c d", "draw a b c", "leave b a"}, "c d a b"},
        {"drawn again after it left, it is in view once more",
         {"add a b c", "draw a", "leave a", "draw b a"}, "a b c"},
        {"leaving tells nothing of a picture that was not drawn", {"add a b", "leave a"}, "a b"},
        {"read side by side, pictures come in another order than asked: they go as asked",
         {"add g:2 h:3 f:1"}, "f g h"},
        {"forgotten with its load, a picture that left waits as asked",
         {"add a", "draw a", "leave a", "forget a", "add b"}, "a b"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        CostlyDecodeQueue queue;
        QStringList ran;
        quint64 asked = 0;
        EXPECT_FALSE(queue.takeNext());
        for (const QString &step : row.steps)
            apply(queue, ran, asked, step);
        while (const CostlyDecodeQueue::Job job = queue.takeNext())
            job({});
        EXPECT_EQ(ran.join(u' ').toStdString(), row.order.toStdString());
    }
}

} // namespace
} // namespace tolvaran::markdown
