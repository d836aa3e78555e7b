#include "CoordinatorDouble.h"

namespace tolvaran::fixtures {

CoordinatorAccess CoordinatorDouble::access()
{
    CoordinatorAccess access;
    access.context = &context;
    access.work = &work;
    access.projects = [this] { return projects; };
    access.publishProjects = [this](const QList<CodexProject> &list) {
        projects = list;
        ++projectPublications;
    };
    access.setStatusMessage = [this](const QString &message) { statusMessages << message; };
    access.refresh = [this](std::function<void()> completion) {
        ++refreshCount;
        if (onRefresh)
            onRefresh();
        if (completion)
            completion();
    };
    access.tagState = [this] { return tagState; };
    access.publishTagState = [this](const ProjectTagSnapshot &state) { tagState = state; };
    access.setTagErrorMessage = [this](const std::optional<QString> &message) {
        tagErrorMessage = message;
    };
    access.selectedTagID = [this] { return selectedTagID; };
    access.setSelectedTagID = [this](const std::optional<QUuid> &id) { selectedTagID = id; };
    return access;
}

CoordinatorClock FakeClock::clock()
{
    CoordinatorClock clock;
    clock.now = [this] { return now; };
    clock.runAfter = [this](QObject *context, std::chrono::milliseconds delay,
                            std::function<void()> function) {
        m_pending.append({now.addingSeconds(double(delay.count()) / 1000.0), context,
                          std::move(function)});
    };
    return clock;
}

void FakeClock::advance(std::chrono::milliseconds delta)
{
    now = now.addingSeconds(double(delta.count()) / 1000.0);
    for (qsizetype i = 0; i < m_pending.size();) {
        if (m_pending[i].due > now) {
            ++i;
            continue;
        }
        const Pending due = m_pending.takeAt(i);
        if (due.context)
            due.function();
    }
}

} // namespace tolvaran::fixtures
