#include "remote_image/DecodeQueue.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace tolvaran::markdown {

namespace {

// The ranks of the pictures not in view; those in view rank above both, by when they were
// drawn.
constexpr quint64 leftRank = 0;
constexpr quint64 neverDrawnRank = 1;

} // namespace

void DecodeQueue::add(Picture picture)
{
    m_waiting.push_back(std::move(picture));
}

quint64 DecodeQueue::rank(const QUrl &url) const
{
    if (const auto drawn = m_drawnAt.constFind(url); drawn != m_drawnAt.cend())
        return neverDrawnRank + *drawn;
    return m_left.contains(url) ? leftRank : neverDrawnRank;
}

bool DecodeQueue::goesBefore(const Picture &one, const Picture &other) const
{
    const quint64 oneRank = rank(one.url);
    const quint64 otherRank = rank(other.url);
    return oneRank != otherRank ? oneRank > otherRank : one.asked < other.asked;
}

std::optional<DecodeQueue::Picture> DecodeQueue::takeNext(Taker taker)
{
    const auto best = [this](auto first, auto last) {
        return std::min_element(first, last, [this](const Picture &one, const Picture &other) {
            return goesBefore(one, other);
        });
    };
    // The costly pictures go to their thread in their order, the others after them.
    const auto costlyEnd = std::partition(m_waiting.begin(), m_waiting.end(),
                                          [](const Picture &picture) { return picture.costly; });
    auto next = m_waiting.end();
    if (taker == Taker::costly)
        next = costlyEnd != m_waiting.begin() ? best(m_waiting.begin(), costlyEnd)
                                              : best(costlyEnd, m_waiting.end());
    else
        next = best(costlyEnd, m_waiting.end());
    if (next == m_waiting.end())
        return std::nullopt;
    Picture picture = std::move(*next);
    m_waiting.erase(next);
    return picture;
}

void DecodeQueue::drawing(const QUrl &url)
{
    m_drawnAt.insert(url, ++m_clock);
    m_left.remove(url);
}

void DecodeQueue::stoppedDrawing(const QUrl &url)
{
    if (m_drawnAt.remove(url) > 0)
        m_left.insert(url);
}

void DecodeQueue::forget(const QUrl &url)
{
    m_drawnAt.remove(url);
    m_left.remove(url);
}

qsizetype DecodeQueue::heldBytes() const
{
    return std::accumulate(m_waiting.begin(), m_waiting.end(), qsizetype(0),
                           [](qsizetype sum, const Picture &picture) {
                               return sum + picture.bytes.heldBytes();
                           });
}

void DecodeQueue::setAsideBeyond(qsizetype maximumHeldBytes, const QString &folder)
{
    qsizetype held = heldBytes();
    // The pictures that go last are set aside first; those that go next keep their bytes.
    std::vector<Picture *> holding;
    for (Picture &picture : m_waiting) {
        if (picture.bytes.heldBytes() > 0)
            holding.push_back(&picture);
    }
    while (held > maximumHeldBytes && !holding.empty()) {
        const auto last = std::max_element(
            holding.begin(), holding.end(),
            [this](const Picture *one, const Picture *other) { return goesBefore(*one, *other); });
        Picture *picture = *last;
        holding.erase(last);
        const qsizetype bytes = picture->bytes.heldBytes();
        if (picture->bytes.setAside(folder))
            held -= bytes;
    }
}

} // namespace tolvaran::markdown
