#pragma once

#include "remote_image/PictureBytes.h"

#include <QHash>
#include <QSet>
#include <QSize>
#include <QUrl>

#include <optional>
#include <vector>

namespace tolvaran::markdown {

// The pictures waiting for a decoding process, and the order they take one in: pictures in
// view first, the one drawn last before the others, then those never drawn in the order
// asked, then those drawn earlier that have left the view, in the order asked. A view read
// down fast asks for every picture it passes; in the order asked, the picture the reader is
// looking at (or jumped back to) waits behind all those scrolled past, which still decode
// afterwards and fill the cache. A picture never shown goes before one scrolled past: the
// reader went past that one, and reads on towards the others. Pictures a decoding process
// found costly wait apart for the thread of costly pictures, so that they hold up no other.
// A small queue of our own, since Qt's thread pool orders jobs by a fixed priority and cannot
// move one already queued.
//
// Lives on the loader's thread.
class DecodeQueue final
{
public:
    struct Picture
    {
        QUrl url;
        // The load's number: the order pictures were asked in.
        quint64 asked = 0;
        QSize maximumSize;
        PictureBytes bytes;
        // A decoding process found it costly.
        bool costly = false;
    };

    // Who takes the next picture: a decoding thread takes those not known to be costly, the
    // thread of costly pictures those first and the others when there are none.
    enum class Taker { ordinary, costly };

    // Queues `picture`. Pictures may come in another order than they were asked.
    void add(Picture picture);
    // The picture `taker` decodes next, removed from the queue; none when it has none to take.
    std::optional<Picture> takeNext(Taker taker);
    // The picture at `url` is drawn now, waiting for its pixels: it goes before the pictures
    // drawn earlier or not at all, queued now or later.
    void drawing(const QUrl &url);
    // The picture at `url`, drawn earlier, has left the view: it goes behind the pictures
    // never drawn, until it is drawn again. Nothing for a picture not drawn.
    void stoppedDrawing(const QUrl &url);
    // The load of `url` has ended: a later load waits its turn until it is drawn.
    void forget(const QUrl &url);

    bool isEmpty() const { return m_waiting.empty(); }
    // The bytes that the waiting pictures hold in memory.
    qsizetype heldBytes() const;
    // Sets aside in `folder` the bytes of the pictures that go last, until those held in
    // memory are within `maximumHeldBytes` (PictureBytes::setAside).
    void setAsideBeyond(qsizetype maximumHeldBytes, const QString &folder);

private:
    // How soon the picture at `url` goes: the greatest first, and of equals the first asked.
    quint64 rank(const QUrl &url) const;
    bool goesBefore(const Picture &one, const Picture &other) const;

    std::vector<Picture> m_waiting;
    // The pictures in view: when each was last drawn while it waited, on a clock of calls to
    // drawing().
    QHash<QUrl, quint64> m_drawnAt;
    // The pictures drawn while they waited that have left the view since.
    QSet<QUrl> m_left;
    quint64 m_clock = 0;
};

} // namespace tolvaran::markdown
