#pragma once

#include "markdown/nodes/BlockNode.h"
#include "markdown/MarkdownContent.h"

#include <QList>
#include <QString>

namespace tolvaran::markdown {

// One item of a task list built in code.
struct TaskListItem
{
    bool isCompleted = false;
    QList<BlockNode> children;

    TaskListItem(bool completed, const MarkdownContent &content)
        : isCompleted(completed), children(content.blocks())
    {
    }
    // An open item of one paragraph holding `text` as plain text.
    explicit TaskListItem(const QString &text);

    friend bool operator==(const TaskListItem &, const TaskListItem &) = default;
};

size_t qHash(const TaskListItem &item, size_t seed = 0) noexcept;

} // namespace tolvaran::markdown
