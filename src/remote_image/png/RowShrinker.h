#pragma once

#include <QImage>
#include <QSize>

#include <vector>

namespace tolvaran::markdown {

// Shrinks a picture as its rows come, top to bottom, so that only the shrunk pixels and one
// row of sums are ever held: each pixel made is the average of the area of the picture it
// covers (premultiplied, so that transparent pixels lend no colour). Ours because Qt shrinks
// only whole images, and a PNG of 4096 by 4096 drawn 860 pixels wide would otherwise be held
// whole, 64 MiB, to make 3. Colour pixels are shrunk at 4 bytes a pixel, grey ones at 1.
class RowShrinker final
{
public:
    // Whether shrinking `from` to `to` this way in `format` holds less than the whole picture
    // would at as many bytes a pixel: the sums and spans take 16 bytes a pixel of a row and 4
    // a channel, so not for a picture of a few rows.
    static bool holdsLess(QSize from, QSize to, QImage::Format format);

    // Sets aside the pixels of `to` in `format` (Format_ARGB32_Premultiplied or
    // Format_Grayscale8) and the sums; `to` is no larger than `from` either way, and neither
    // is empty.
    RowShrinker(QSize from, QSize to, QImage::Format format);

    // Whether the pixels could be set aside.
    bool isNull() const { return m_image.isNull(); }
    // Takes the next row of the picture: `from.width()` pixels in the shrunk pixels' format,
    // premultiplied.
    void addRow(const uchar *row);
    // The shrunk picture, once every row has been added.
    QImage take() { return std::move(m_image); }

private:
    // How one pixel of the picture falls on the shrunk pixels: a `share` of the `first` it
    // overlaps, and the `rest` of the next where it straddles the two, in 1/65536 of a shrunk
    // pixel (the shares within one add up to 65536 exactly); `reachesEdge` where it reaches
    // the far edge of the first.
    struct Span
    {
        int first = 0;
        quint32 share = 0;
        quint32 rest = 0;
        bool reachesEdge = false;
    };
    // The spans of a line of pixels, one after the other, without a division each.
    class Spans
    {
    public:
        Spans(int fromLength, int toLength);
        Span next();

    private:
        qint64 m_fromLength;
        qint64 m_step;
        qint64 m_stepRemainder;
        // Where the next pixel begins, rounded, and what the rounding left.
        qint64 m_begin = 0;
        qint64 m_remainder;
    };

    void addTo(const uchar *bytes, quint32 share);
    void finishRow(int y);
    template <int channels>
    void sumAcross();

    int m_channels;
    QSize m_from;
    QSize m_to;
    QImage m_image;
    Spans m_rows;
    std::vector<Span> m_columns;
    // Each channel of each pixel of the rows summed down into the shrunk row being made: at
    // most 255 × 65536.
    std::vector<quint32> m_sums;
    // The shrunk row's sums across, each channel at most 255 × 65536 × 65536.
    std::vector<quint64> m_across;
    int m_row = 0;
};

} // namespace tolvaran::markdown
