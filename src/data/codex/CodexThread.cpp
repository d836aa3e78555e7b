#include "data/codex/CodexThread.h"

namespace tolvaran {

QString CodexThread::displayTitle() const
{
    if (customName) {
        const QString trimmed = customName->trimmed();
        if (!trimmed.isEmpty())
            return trimmed;
    }
    for (const QString *candidate : {&title, &preview}) {
        const QString trimmed = candidate->trimmed();
        if (!trimmed.isEmpty())
            return trimmed;
    }
    return QStringLiteral("Untitled Chat");
}

} // namespace tolvaran
