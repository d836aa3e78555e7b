#include "app/cards/RecentChatMenuItem.h"

#include <algorithm>

namespace tolvaran {

namespace {

const QString noUserMessageText = QStringLiteral("No user message available");

} // namespace

QList<RecentChatMenuItem> recentChatMenuItems(const std::optional<CodexProject> &project,
                                              const ProjectCardSnapshot &snapshot)
{
    if (!project)
        return {};
    QList<const CodexThread *> threads;
    threads.reserve(project->threads().size());
    for (const CodexThread &thread : project->threads())
        threads.append(&thread);
    std::stable_sort(threads.begin(), threads.end(),
                     [](const CodexThread *a, const CodexThread *b) {
                         return a->recencyAt > b->recencyAt;
                     });
    threads.resize(std::min(threads.size(), recentChatMenuLimit));

    QList<RecentChatMenuItem> items;
    items.reserve(threads.size());
    for (const CodexThread *thread : threads) {
        RecentChatMenuItem item;
        item.id = thread->id;
        item.title = thread->displayTitle();
        item.preview = thread->latestUserMessage.value_or(noUserMessageText);
        item.recencyAt = thread->recencyAt;
        item.isUnread = snapshot.unreadThreadIDs.contains(thread->id);
        item.isProcessing = snapshot.latestProcessingThreadID == thread->id;
        items.append(item);
    }
    return items;
}

} // namespace tolvaran
