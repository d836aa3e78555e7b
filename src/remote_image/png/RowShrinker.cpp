#include "remote_image/png/RowShrinker.h"

#include <algorithm>

namespace tolvaran::markdown {

namespace {

constexpr int shareBits = 16;
constexpr qint64 one = qint64(1) << shareBits;

int channelsOf(QImage::Format format)
{
    return format == QImage::Format_Grayscale8 ? 1 : 4;
}

} // namespace

bool RowShrinker::holdsLess(QSize from, QSize to, QImage::Format format)
{
    const int channels = channelsOf(format);
    const qint64 held = qint64(from.width()) * (16 + 4 * channels)
                        + qint64(to.width()) * 8 * channels
                        + qint64(to.width()) * to.height() * channels;
    return held < qint64(from.width()) * from.height() * channels;
}

// Pixel i begins at i · toLength / fromLength shrunk pixels, rounded to 1/65536: each step
// adds the same quotient, and one more when the remainders make up a whole.
RowShrinker::Spans::Spans(int fromLength, int toLength)
    : m_fromLength(fromLength)
    , m_step(qint64(toLength) * one / fromLength)
    , m_stepRemainder(qint64(toLength) * one % fromLength)
    , m_remainder(fromLength / 2)
{
}

RowShrinker::Span RowShrinker::Spans::next()
{
    const qint64 begin = m_begin;
    m_begin += m_step;
    m_remainder += m_stepRemainder;
    if (m_remainder >= m_fromLength) {
        ++m_begin;
        m_remainder -= m_fromLength;
    }
    // No longer than a shrunk pixel, a pixel overlaps one or straddles two.
    const qint64 first = begin >> shareBits;
    const qint64 edge = (first + 1) << shareBits;
    const qint64 boundary = std::min(m_begin, edge);
    return {int(first), quint32(boundary - begin), quint32(m_begin - boundary),
            m_begin >= edge};
}

RowShrinker::RowShrinker(QSize from, QSize to, QImage::Format format)
    : m_channels(channelsOf(format))
    , m_from(from)
    , m_to(to)
    , m_image(to, format)
    , m_rows(from.height(), to.height())
    , m_columns(size_t(from.width()))
    , m_sums(size_t(from.width()) * size_t(m_channels))
    , m_across(size_t(to.width()) * size_t(m_channels))
{
    Spans columns(from.width(), to.width());
    for (Span &column : m_columns)
        column = columns.next();
}

void RowShrinker::addRow(const uchar *bytes)
{
    if (isNull() || m_row >= m_from.height())
        return;
    ++m_row;
    // Down first, channel by channel in whatever order the bytes lie, so that the pixels are
    // summed across once a shrunk row rather than once a row of the picture.
    const Span span = m_rows.next();
    addTo(bytes, span.share);
    if (!span.reachesEdge)
        return;
    finishRow(span.first);
    if (span.rest > 0)
        addTo(bytes, span.rest);
}

void RowShrinker::addTo(const uchar *bytes, quint32 share)
{
    const size_t count = m_sums.size();
    for (size_t i = 0; i < count; ++i)
        m_sums[i] += bytes[i] * share;
}

// The channel count fixed, so that the loops over a pixel's channels unroll.
template <int channels>
void RowShrinker::sumAcross()
{
    for (int x = 0; x < m_from.width(); ++x) {
        const Span span = m_columns[size_t(x)];
        const quint32 *sums = &m_sums[size_t(x) * channels];
        quint64 *first = &m_across[size_t(span.first) * channels];
        for (int c = 0; c < channels; ++c)
            first[c] += quint64(sums[c]) * span.share;
        if (span.rest > 0) {
            for (int c = 0; c < channels; ++c)
                first[channels + c] += quint64(sums[c]) * span.rest;
        }
    }
}

void RowShrinker::finishRow(int y)
{
    std::fill(m_across.begin(), m_across.end(), 0);
    if (m_channels == 1)
        sumAcross<1>();
    else
        sumAcross<4>();
    // Each shrunk pixel's shares come to 65536 down and 65536 across.
    uchar *out = m_image.scanLine(y);
    for (size_t i = 0; i < m_across.size(); ++i)
        out[i] = uchar((m_across[i] + (quint64(1) << (2 * shareBits - 1))) >> (2 * shareBits));
    std::fill(m_sums.begin(), m_sums.end(), 0);
}

} // namespace tolvaran::markdown
