#pragma once

#include <QObject>

namespace tolvaran {

// The process-wide notice that the set of managed processing threads
// (CodexActivityStore::managedProcessingThreadIDs) changed, in place of a notification centre:
// connect to the one instance's signal. It may be emitted from any thread; a receiver that
// lives on another thread gets it queued, as with any auto connection.
class CodexActivityNotifier final : public QObject
{
    Q_OBJECT

public:
    // Created on first use and kept for the life of the process.
    static CodexActivityNotifier *instance();

Q_SIGNALS:
    void codexAppManagedProcessingChanged();

private:
    CodexActivityNotifier() = default;
};

} // namespace tolvaran
