#include "support/LogRecorder.h"

#include <QtGlobal>

#include <mutex>

namespace tolvaran::fixtures {

namespace {

std::mutex &recorderMutex()
{
    static std::mutex mutex;
    return mutex;
}

QStringList &recordedLines()
{
    static QStringList lines;
    return lines;
}

QtMessageHandler &previousHandler()
{
    static QtMessageHandler handler = nullptr;
    return handler;
}

void recordMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    LogRecorder::record(QString::fromUtf8(context.category ? context.category : "default")
                        + QStringLiteral(": ") + message);
    if (const QtMessageHandler previous = previousHandler())
        previous(type, context, message);
}

} // namespace

void LogRecorder::install()
{
    previousHandler() = qInstallMessageHandler(recordMessage);
}

void LogRecorder::record(const QString &line)
{
    std::lock_guard lock(recorderMutex());
    recordedLines().append(line);
}

QStringList LogRecorder::lines()
{
    std::lock_guard lock(recorderMutex());
    return recordedLines();
}

} // namespace tolvaran::fixtures
