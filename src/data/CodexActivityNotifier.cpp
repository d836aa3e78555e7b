#include "data/CodexActivityNotifier.h"

namespace tolvaran {

CodexActivityNotifier *CodexActivityNotifier::instance()
{
    // Never deleted: receivers may connect at any time until the process ends, and a static
    // QObject destroyed after the application object would outlive Qt's own state.
    static CodexActivityNotifier *const notifier = new CodexActivityNotifier;
    return notifier;
}

} // namespace tolvaran
