#include "platform/ProcessRunner.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace tolvaran {

namespace {

void killGroup(QProcess &process)
{
    const qint64 pid = process.processId();
    if (pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
    process.kill();
}

} // namespace

ProcessResult ProcessRunner::run(const ProcessRequest &request)
{
    ProcessResult result;
    QProcess process;
    process.setProgram(request.program);
    process.setArguments(request.arguments);
    if (!request.workingDirectory.isEmpty())
        process.setWorkingDirectory(request.workingDirectory);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (request.inheritedEnvironment) {
        const QProcessEnvironment inherited = environment;
        environment = QProcessEnvironment();
        for (const QString &name : *request.inheritedEnvironment) {
            if (inherited.contains(name))
                environment.insert(name, inherited.value(name));
        }
    }
    for (const QString &name : request.removedEnvironment)
        environment.remove(name);
    for (const auto &[name, value] : request.environment)
        environment.insert(name, value);
    process.setProcessEnvironment(environment);

    // A group of its own, so that a time-out ends grandchildren too (git runs helpers).
    process.setChildProcessModifier([] { ::setpgid(0, 0); });

    QTemporaryFile outputFile;
    if (request.outputToFile) {
        outputFile.setFileTemplate(QDir::tempPath() + QStringLiteral("/tolvaran-output-XXXXXX"));
        if (!outputFile.open()) {
            result.errorMessage = QStringLiteral("Could not create a temporary output file.");
            return result;
        }
        process.setStandardOutputFile(outputFile.fileName());
    }
    if (request.discardOutput) {
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
    }
    if (request.standardInput.isEmpty())
        process.setStandardInputFile(QProcess::nullDevice());

    process.start(QIODevice::ReadWrite);
    if (!process.waitForStarted(request.timeoutMilliseconds)) {
        result.errorMessage = process.errorString();
        killGroup(process);
        process.waitForFinished(-1);
        return result;
    }
    result.started = true;
    if (!request.standardInput.isEmpty()) {
        process.write(request.standardInput);
        process.closeWriteChannel();
    }

    // Read as we go, so that a child writing more than a pipe holds does not stall.
    QElapsedTimer clock;
    clock.start();
    bool finished = false;
    while (!finished) {
        const qint64 left = request.timeoutMilliseconds - clock.elapsed();
        if (left <= 0 || request.stopToken.stop_requested())
            break;
        finished = process.waitForFinished(int(std::min<qint64>(left, 100)));
        if (!request.outputToFile)
            result.standardOutput += process.readAllStandardOutput();
        result.standardError += process.readAllStandardError();
        if (!finished && process.state() == QProcess::NotRunning)
            finished = true;
    }
    if (!finished && request.stopToken.stop_requested()) {
        result.cancelled = true;
        result.errorMessage = QStringLiteral("%1 was stopped.")
                                  .arg(QFileInfo(request.program).fileName());
        killGroup(process);
        process.waitForFinished(-1);
        return result;
    }
    if (!finished) {
        result.timedOut = true;
        result.errorMessage = QStringLiteral("%1 did not finish within %2 ms.")
                                  .arg(QFileInfo(request.program).fileName())
                                  .arg(request.timeoutMilliseconds);
        killGroup(process);
        process.waitForFinished(-1);
        return result;
    }
    if (!request.outputToFile)
        result.standardOutput += process.readAllStandardOutput();
    else if (request.maximumOutputBytes >= 0)
        result.standardOutput = outputFile.read(request.maximumOutputBytes);
    else
        result.standardOutput = outputFile.readAll();
    result.standardError += process.readAllStandardError();
    result.crashed = process.exitStatus() == QProcess::CrashExit;
    result.exitCode = result.crashed ? -1 : process.exitCode();
    if (result.crashed)
        result.errorMessage = QStringLiteral("%1 ended abnormally.")
                                  .arg(QFileInfo(request.program).fileName());
    return result;
}

QString ProcessRunner::findExecutable(const QString &name, const QStringList &candidates)
{
    for (const QString &candidate : candidates) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable())
            return info.absoluteFilePath();
    }
    return QStandardPaths::findExecutable(name);
}

} // namespace tolvaran
