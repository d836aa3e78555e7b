#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>
#include <stop_token>

namespace tolvaran {

// What to run: a program with an argument list (never a shell string), in a folder, with
// variables added to the inherited environment, under a hard time limit.
struct ProcessRequest
{
    QString program;
    QStringList arguments;
    QString workingDirectory;                 // empty: the current folder
    QList<QPair<QString, QString>> environment; // set on top of the inherited environment
    QStringList removedEnvironment;           // unset from the inherited environment
    // When given, the child inherits only these variables (those that are set), not the whole
    // environment; `environment` is added on top.
    std::optional<QStringList> inheritedEnvironment;
    int timeoutMilliseconds = 30'000;
    QByteArray standardInput;                 // written, then the input is closed
    // Send standard output to a private temporary file instead of a pipe; for output that
    // can be large (whole diffs, logs).
    bool outputToFile = false;
    // With outputToFile: read back at most this many bytes of the output (negative: all of
    // it), so that a caller wanting only the start of a huge output never holds all of it.
    qint64 maximumOutputBytes = -1;
    // Send standard output and standard error to the null device (a tool that reports its
    // answer in a file of its own and may print a great deal on the way).
    bool discardOutput = false;
    // A stop requested through this token ends the child's whole process group at once, as the
    // time limit does (checked every 100 ms).
    std::stop_token stopToken;
};

struct ProcessResult
{
    bool started = false;    // false: the program could not be started (missing, not executable)
    bool timedOut = false;   // the time limit ended it
    bool crashed = false;    // ended by a signal
    bool cancelled = false;  // a stop was requested through the request's token
    int exitCode = -1;
    QByteArray standardOutput;
    QByteArray standardError;
    QString errorMessage;    // why it did not start, or how it ended badly

    bool succeeded() const
    {
        return started && !timedOut && !crashed && !cancelled && exitCode == 0;
    }
};

// The one way the program runs child processes. Blocking: call it from a worker thread. Each
// child gets a process group of its own, so the time limit ends the child and everything it
// started; every child is reaped before run() returns.
class ProcessRunner final
{
public:
    static ProcessResult run(const ProcessRequest &request);

    // The first of `candidates` that is an executable file, else the first executable named
    // `name` on PATH; empty when neither exists.
    static QString findExecutable(const QString &name, const QStringList &candidates = {});
};

} // namespace tolvaran
