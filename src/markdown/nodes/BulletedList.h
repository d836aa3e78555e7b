#pragma once

#include "markdown/nodes/ListItem.h"
#include "markdown/MarkdownContentProtocol.h"

#include <QList>
#include <QStringList>

namespace tolvaran::markdown {

// A bulleted list built in code. It is stored loose when an item holds two or more
// paragraphs, whatever was asked.
class BulletedList final : public MarkdownContentProtocol
{
public:
    BulletedList(bool isTight, const QList<ListItem> &listItems);
    // One item per element, from `items` (an element may give several).
    template <typename Range, typename Function>
    static BulletedList of(const Range &elements, bool isTight, Function items)
    {
        QList<ListItem> all;
        for (const auto &element : elements)
            all += items(element);
        return BulletedList(isTight, all);
    }
    // One plain-text paragraph item per string (never parsed as Markdown).
    static BulletedList of(const QStringList &texts, bool isTight);

    MarkdownContent markdownContent() const override;

    bool tight = true;
    QList<RawListItem> items;
};

} // namespace tolvaran::markdown
