#pragma once

#include <QHash>
#include <QtGlobal>

namespace tolvaran::markdown {

// The decoded pixels that the pictures of one document may hold together. Each picture tells
// the budget what it holds and when it is painted; once the total passes the limit, the
// pictures painted longest ago (those never painted first) let go of their pixels, and load
// them again when they are painted next. Pictures painted in the latest paint keep theirs, so
// only a paint whose pictures alone pass the limit holds more.
//
// Lives on the GUI thread, with the items of its document.
class ImagePixelBudget final
{
public:
    // Room for several screens of pictures, even at twice the pixels per point.
    static constexpr qint64 defaultLimitBytes = qint64(64) * 1024 * 1024;

    // What holds pixels under the budget.
    class Holder
    {
    public:
        // Lets go of the pixels held; the holder loads them again when it is painted.
        virtual void releasePixels() = 0;

    protected:
        ~Holder() = default;
    };

    explicit ImagePixelBudget(qint64 limitBytes = defaultLimitBytes);
    ImagePixelBudget(const ImagePixelBudget &) = delete;
    ImagePixelBudget &operator=(const ImagePixelBudget &) = delete;

    qint64 limitBytes() const { return m_limitBytes; }
    qint64 heldBytes() const { return m_heldBytes; }

    // A paint of the document begins; the holders painted in it call painted().
    void beginPaint();
    void painted(Holder *holder);
    // What `holder` holds now; releases the pixels of others (or its own, when it was not
    // painted lately) while the total passes the limit.
    void setHeld(Holder *holder, qint64 bytes);
    void remove(Holder *holder);

private:
    struct Entry
    {
        qint64 bytes = 0;
        quint64 paint = 0; // the paint it was last drawn in; 0 when never
    };

    void keepWithinLimit();

    const qint64 m_limitBytes;
    qint64 m_heldBytes = 0;
    quint64 m_paint = 0;
    QHash<Holder *, Entry> m_holders;
};

} // namespace tolvaran::markdown
