#pragma once

#include <QHash>
#include <QSet>
#include <QUrl>

#include <functional>
#include <mutex>
#include <stop_token>
#include <vector>

namespace tolvaran::markdown {

// The costly pictures waiting for the loader's thread of their own, and the order they take
// it in: pictures in view first, the one drawn last before the others, then those never drawn
// in the order asked, then those drawn earlier that have left the view, in the order asked. A
// view read down fast asks for every picture it passes, and each costly one takes a good part
// of a second to decode; in the order asked, the picture the reader is looking at waits behind
// all those scrolled past, which still decode afterwards and fill the cache. A picture never
// shown goes before one scrolled past: the reader went past that one, and reads on towards
// the others. A small queue of our own, since Qt's thread pool orders jobs by a fixed priority
// and cannot move one already queued.
//
// Called from any thread.
class CostlyDecodeQueue final
{
public:
    using Job = std::function<void(const std::stop_token &stop)>;

    // Queues the decoding of the picture at `url`, the `asked`-th asked for. Pictures are read
    // and checked side by side before they come here, so they may come in another order.
    void add(const QUrl &url, quint64 asked, Job job);
    // The job to run next, removed from the queue; none when it is empty.
    Job takeNext();
    // The picture at `url` is drawn now, waiting for its pixels: its decoding, queued or still
    // to come, goes before those of pictures drawn earlier or not at all.
    void drawing(const QUrl &url);
    // The picture at `url`, drawn earlier, has left the view: its decoding goes behind those
    // of pictures never drawn, until it is drawn again. Nothing for a picture not drawn.
    void stoppedDrawing(const QUrl &url);
    // The load of `url` has ended: a later load waits its turn until it is drawn.
    void forget(const QUrl &url);

private:
    struct Waiting
    {
        QUrl url;
        quint64 asked = 0;
        Job job;
    };

    // How soon the picture at `url` goes: the greatest first, and of equals the first asked.
    quint64 rank(const QUrl &url) const;

    std::mutex m_mutex;
    std::vector<Waiting> m_waiting;
    // The pictures in view: when each was last drawn while it waited, on a clock of calls to
    // drawing().
    QHash<QUrl, quint64> m_drawnAt;
    // The pictures drawn while they waited that have left the view since.
    QSet<QUrl> m_left;
    quint64 m_clock = 0;
};

} // namespace tolvaran::markdown
