#pragma once

#include "markdown/nodes/ListItem.h"
#include "markdown/MarkdownContentProtocol.h"

#include <QList>
#include <QStringList>

namespace tolvaran::markdown {

// A numbered list built in code. It is stored loose when an item holds two or more
// paragraphs, whatever was asked.
class NumberedList final : public MarkdownContentProtocol
{
public:
    NumberedList(bool isTight, int firstNumber, const QList<ListItem> &listItems);
    // One item per element, from `items` (an element may give several).
    template <typename Range, typename Function>
    static NumberedList of(const Range &elements, bool isTight, int firstNumber, Function items)
    {
        QList<ListItem> all;
        for (const auto &element : elements)
            all += items(element);
        return NumberedList(isTight, firstNumber, all);
    }
    // One plain-text paragraph item per string (never parsed as Markdown).
    static NumberedList of(const QStringList &texts, bool isTight, int firstNumber);

    MarkdownContent markdownContent() const override;

    bool tight = true;
    int start = 1;
    QList<RawListItem> items;
};

} // namespace tolvaran::markdown
