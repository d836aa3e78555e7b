#include "data/git/GitRunner.h"

#include "platform/ProcessRunner.h"

#include <QFileInfo>

namespace tolvaran::Internal {

namespace {

const QString systemGitPath = QStringLiteral("/usr/bin/git");

// A repository's own configuration must not start programs when we look at it, for we look at
// every project the user ever opened in Codex, cloned from anywhere. `core.fsmonitor` would
// run on every status; the diff commands add --no-textconv and --no-ext-diff themselves.
// Git has no switch against filter drivers (`filter.<name>.clean` runs when a status or diff
// must compare a changed file's contents) or `core.hooksPath` hooks (no command we run fires
// one): those stay a risk of the repository's own `.git/config`, which only its owner writes.
const QStringList safetyOptions{QStringLiteral("-c"), QStringLiteral("core.fsmonitor=false")};

// The environment git keeps: HOME and the configuration it names (the user's
// `safe.directory` entries live there), and PATH for git's own helpers. Nothing else of ours
// (GIT_DIR, GIT_EXTERNAL_DIFF, GIT_SSH_COMMAND, an editor or pager) reaches git.
const QStringList inheritedVariables{
    QStringLiteral("HOME"),
    QStringLiteral("PATH"),
    QStringLiteral("XDG_CONFIG_HOME"),
    QStringLiteral("GIT_CONFIG_GLOBAL"),
    QStringLiteral("GIT_CONFIG_NOSYSTEM"),
};

} // namespace

GitRunner::GitRunner(QString executable)
    : m_executable(std::move(executable))
{
}

QString GitRunner::executable() const
{
    if (!m_executable.isEmpty()) {
        const QFileInfo info(m_executable);
        return info.isFile() && info.isExecutable() ? m_executable : QString();
    }
    return ProcessRunner::findExecutable(QStringLiteral("git"), {systemGitPath});
}

GitRunResult GitRunner::run(const QString &folder, const QStringList &arguments,
                            qint64 maximumOutputBytes, const std::stop_token &stopToken) const
{
    GitRunResult result;
    // A folder that is gone is a real answer (there is no repository there any more).
    if (!QFileInfo::exists(folder)) {
        result.conclusive = true;
        return result;
    }
    const QString program = executable();
    if (program.isEmpty())
        return result;

    ProcessRequest request;
    request.program = program;
    request.arguments = safetyOptions + QStringList{QStringLiteral("-C"), folder} + arguments;
    request.inheritedEnvironment = inheritedVariables;
    request.environment = {{QStringLiteral("GIT_OPTIONAL_LOCKS"), QStringLiteral("0")},
                           {QStringLiteral("GIT_TERMINAL_PROMPT"), QStringLiteral("0")}};
    request.timeoutMilliseconds = timeLimitMilliseconds;
    // Output can be a whole diff: it goes to a file and is read back once git has ended.
    request.outputToFile = true;
    request.maximumOutputBytes = maximumOutputBytes;
    request.stopToken = stopToken;
    const ProcessResult process = ProcessRunner::run(request);

    if (process.timedOut) {
        result.exitCode = timedOutExitCode;
        return result;
    }
    if (!process.started || process.crashed || process.cancelled)
        return result;
    result.conclusive = true;
    result.exitCode = process.exitCode;
    result.output = QString::fromUtf8(process.standardOutput);
    return result;
}

std::optional<QString> GitRunner::value(const QString &folder,
                                        const QStringList &arguments) const
{
    const GitRunResult result = run(folder, arguments);
    if (result.exitCode != 0)
        return std::nullopt;
    QString text = result.output.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

QStringList splitAtMost(const QString &text, QChar separator, int maximumSplits)
{
    QStringList fields;
    qsizetype start = 0;
    while (fields.size() < maximumSplits) {
        const qsizetype end = text.indexOf(separator, start);
        if (end < 0)
            break;
        fields.append(text.mid(start, end - start));
        start = end + 1;
    }
    fields.append(text.mid(start));
    return fields;
}

} // namespace tolvaran::Internal
