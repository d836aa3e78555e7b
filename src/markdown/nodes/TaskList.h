#pragma once

#include "markdown/nodes/ListItem.h"
#include "markdown/nodes/TaskListItem.h"
#include "markdown/MarkdownContentProtocol.h"

#include <QList>
#include <QStringList>

namespace tolvaran::markdown {

// A task list built in code. It is stored loose when an item holds two or more
// paragraphs, whatever was asked.
class TaskList final : public MarkdownContentProtocol
{
public:
    TaskList(bool isTight, const QList<TaskListItem> &listItems);
    // One item per element, from `items` (an element may give several).
    template <typename Range, typename Function>
    static TaskList of(const Range &elements, bool isTight, Function items)
    {
        QList<TaskListItem> all;
        for (const auto &element : elements)
            all += items(element);
        return TaskList(isTight, all);
    }

    MarkdownContent markdownContent() const override;

    bool tight = true;
    QList<RawTaskListItem> items;
};

} // namespace tolvaran::markdown
