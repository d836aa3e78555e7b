#include "markdown_view/items/ImagePixelBudget.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace tolvaran::markdown {

ImagePixelBudget::ImagePixelBudget(qint64 limitBytes)
    : m_limitBytes(limitBytes)
{
}

void ImagePixelBudget::beginPaint()
{
    ++m_paint;
}

void ImagePixelBudget::painted(Holder *holder)
{
    m_holders[holder].paint = m_paint;
}

void ImagePixelBudget::setHeld(Holder *holder, qint64 bytes)
{
    Entry &entry = m_holders[holder];
    m_heldBytes += bytes - entry.bytes;
    entry.bytes = bytes;
    keepWithinLimit();
}

void ImagePixelBudget::remove(Holder *holder)
{
    const auto entry = m_holders.constFind(holder);
    if (entry == m_holders.cend())
        return;
    m_heldBytes -= entry->bytes;
    m_holders.erase(entry);
}

void ImagePixelBudget::keepWithinLimit()
{
    if (m_heldBytes <= m_limitBytes)
        return;
    std::vector<std::pair<quint64, Holder *>> releasable;
    for (auto entry = m_holders.cbegin(); entry != m_holders.cend(); ++entry) {
        if (entry->bytes > 0 && (entry->paint < m_paint || m_paint == 0))
            releasable.emplace_back(entry->paint, entry.key());
    }
    // Painted longest ago first; the order among equals is the hash's, which does not matter.
    std::sort(releasable.begin(), releasable.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &[paint, holder] : releasable) {
        if (m_heldBytes <= m_limitBytes)
            break;
        Entry &entry = m_holders[holder];
        holder->releasePixels();
        m_heldBytes -= entry.bytes;
        entry.bytes = 0;
    }
}

} // namespace tolvaran::markdown
