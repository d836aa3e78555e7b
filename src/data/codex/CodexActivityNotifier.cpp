#include "data/codex/CodexActivityNotifier.h"

#include <QCoreApplication>

namespace tolvaran {

CodexActivityNotifier *CodexActivityNotifier::instance()
{
    // Never deleted: receivers may connect at any time until the process ends, and a static
    // QObject destroyed after the application object would outlive Qt's own state.
    static CodexActivityNotifier *const notifier = [] {
        auto *created = new CodexActivityNotifier;
        // Belongs to the GUI thread whichever thread asked first, like the model objects
        // that listen to it.
        if (QCoreApplication *application = QCoreApplication::instance())
            created->moveToThread(application->thread());
        return created;
    }();
    return notifier;
}

} // namespace tolvaran
