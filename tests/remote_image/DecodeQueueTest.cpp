#include "remote_image/DecodeQueue.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <QTemporaryDir>

namespace tolvaran::markdown {
namespace {

QUrl picture(const QString &name)
{
    return QUrl(QStringLiteral("file:///pictures/") + name);
}

// Applies `step`, a verb and the pictures it names: "add" queues them, asked in the order
// named after those added before, or as the number after a colon says ("add b:2 a:1");
// "costly" queues them as found costly; "draw" and "leave" tell that they are drawn and that
// they left the view; "forget" that their loads ended.
void apply(DecodeQueue &queue, quint64 &asked, const QString &step)
{
    QStringList names = step.split(u' ');
    const QString verb = names.takeFirst();
    for (const QString &named : std::as_const(names)) {
        const QString name = named.section(u':', 0, 0);
        const quint64 order =
            named.contains(u':') ? named.section(u':', 1).toULongLong() : ++asked;
        if (verb == QLatin1String("add") || verb == QLatin1String("costly"))
            queue.add({picture(name), order, {}, PictureBytes::held(name.toUtf8()),
                       verb == QLatin1String("costly")});
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

// Takes every picture, by the takers named in turn ("o" a decoding thread, "c" the thread of
// costly pictures, the last named again until none is left): the names, a taker that found
// none as "-".
QString taken(DecodeQueue &queue, const QString &takers)
{
    QStringList names;
    for (qsizetype turn = 0;; ++turn) {
        const QChar taker = takers.at(std::min(turn, takers.size() - 1));
        const std::optional<DecodeQueue::Picture> next = queue.takeNext(
            taker == u'c' ? DecodeQueue::Taker::costly : DecodeQueue::Taker::ordinary);
        if (!next && turn >= takers.size() - 1)
            break;
        names.append(next ? next->url.fileName() : QStringLiteral("-"));
    }
    return names.join(u' ');
}

TEST(DecodeQueue, picturesInViewGoFirstLatestDrawnFirstThenThoseNeverDrawnThenThoseLeft)
{
    const struct
    {
        const char *name;
        QStringList steps;
        QString order;
        QString takers = QStringLiteral("o");
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
        {"downloaded side by side, pictures come in another order than asked: they go as asked",
         {"add g:2 h:3 f:1"}, "f g h"},
        {"forgotten with its load, a picture that left waits as asked",
         {"add a", "draw a", "leave a", "forget a", "add b"}, "a b"},
        {"costly pictures wait for their thread, in the same order",
         {"add a b", "costly c d e", "draw e"}, "a b - e c d", QStringLiteral("oooc")},
        {"the thread of costly pictures takes the others when there are none",
         {"add a b", "costly c", "draw b"}, "c b a", QStringLiteral("c")},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        DecodeQueue queue;
        quint64 asked = 0;
        EXPECT_FALSE(queue.takeNext(DecodeQueue::Taker::ordinary));
        for (const QString &step : row.steps)
            apply(queue, asked, step);
        EXPECT_EQ(taken(queue, row.takers).toStdString(), row.order.toStdString());
    }
}

TEST(DecodeQueue, bytesBeyondTheLimitWaitOnDiskThoseThatGoLastFirst)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    DecodeQueue queue;
    const QByteArray bytes(1000, 'x');
    for (int i = 0; i < 5; ++i)
        queue.add({picture(QString::number(i)), quint64(i), {}, PictureBytes::held(bytes)});
    queue.drawing(picture(QStringLiteral("4")));
    queue.setAsideBeyond(2500, folder.path());
    EXPECT_EQ(queue.heldBytes(), 2000);
    // In memory: the picture in view and the first asked; the rest read back whole.
    for (const QString expected : {"4", "0", "1", "2", "3"}) {
        std::optional<DecodeQueue::Picture> next = queue.takeNext(DecodeQueue::Taker::ordinary);
        ASSERT_TRUE(next);
        EXPECT_EQ(next->url.fileName(), expected);
        EXPECT_EQ(next->bytes.heldBytes(), expected == u"4" || expected == u"0" ? 1000 : 0);
        const auto read = next->bytes.read();
        ASSERT_TRUE(std::holds_alternative<QByteArray>(read));
        EXPECT_EQ(std::get<QByteArray>(read), bytes);
    }
    // Nothing of them stays in the folder.
    EXPECT_TRUE(QDir(folder.path()).isEmpty());
}

} // namespace
} // namespace tolvaran::markdown
