#pragma once

#include <QString>
#include <QStringList>

namespace tolvaran::fixtures {

// Records every log line of the test process (any category, any thread) and still passes it
// on to the handler that was installed before, so the test output stays as it was.
class LogRecorder final
{
public:
    // Installs the recording handler; call once, from main, before anything logs.
    static void install();
    // Adds a line of the test's own, such as an error sentence a call ended with, so that the
    // checks over logged lines cover it too.
    static void record(const QString &line);
    static QStringList lines();
};

} // namespace tolvaran::fixtures
