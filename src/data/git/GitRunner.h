#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <stop_token>

namespace tolvaran::Internal {

// The outcome of one git run. Failure is an exit code, never an exception.
struct GitRunResult
{
    int exitCode = 1;
    QString output; // standard output as UTF-8, invalid sequences replaced; empty on failure
    // False when git could not be started, was stopped at its time limit or ended by a
    // signal: its exit code then says nothing about the repository, and callers must not
    // take it as git's answer (a hung git is not "not a repository").
    bool conclusive = false;
};

// Runs the git command-line tool against a folder as a short-lived child process: through
// ProcessRunner (argument list, its own process group, reaped), with GIT_OPTIONAL_LOCKS=0 so
// that git skips optional lock-taking work such as refreshing the index, standard output to a
// private temporary file, standard error discarded, and a hard time limit after which the
// whole process group is killed. Safe to use from several threads at once.
class GitRunner final
{
public:
    static constexpr int timeLimitMilliseconds = 3'000;
    static constexpr int failureExitCode = 1;    // folder missing, git missing, not started
    static constexpr int timedOutExitCode = 124; // stopped at the time limit

    // `executable`: the git to run; empty to look up "/usr/bin/git", then git on PATH, at
    // each run (tests point it at a double).
    explicit GitRunner(QString executable = {});

    // Runs `git -C folder arguments...`. A folder that does not exist gives exit code 1
    // without starting git. With `maximumOutputBytes` zero or more, only that many bytes of
    // the output are read back (a character cut there becomes a replacement character).
    // A stop requested through `stopToken` kills git at once; the run is then inconclusive.
    GitRunResult run(const QString &folder, const QStringList &arguments,
                     qint64 maximumOutputBytes = -1, const std::stop_token &stopToken = {}) const;

    // The output trimmed of white space when git exits 0 and the trimmed text is not empty.
    std::optional<QString> value(const QString &folder, const QStringList &arguments) const;

private:
    QString executable() const;

    QString m_executable;
};

// `text` split on `separator` at most `maximumSplits` times, empty fields kept: the last field
// holds the rest, separators included (git output whose last field is free text).
QStringList splitAtMost(const QString &text, QChar separator, int maximumSplits);

} // namespace tolvaran::Internal
