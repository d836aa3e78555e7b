#include "team/presence/WorkSummaryGenerator.h"

#include "data/git/ProjectRepositoryStore.h"
#include "platform/Graphemes.h"
#include "platform/ProcessRunner.h"
#include "platform/desktop/SystemCodexLauncher.h"
#include "team/TeamLogging.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QUuid>

namespace tolvaran {

namespace {

const QString promptOpening = QStringLiteral(
    "Generate a privacy-safe teammate status for uncommitted software work.\n\n"
    "Do not run commands, inspect the filesystem, invoke tools, or seek additional context. "
    "Use only the bounded evidence supplied below. When change evidence exists, treat it as "
    "primary and use the latest user request only to clarify intent. Before changes exist, "
    "create an immediate broad paraphrase from the latest user request. Never use a task "
    "title, old chat messages, or prior work.\n\n"
    "Return exactly one plain sentence of at most 140 characters. Describe the engineering "
    "work meaningfully in present-progressive form. Name the specific feature, component, "
    "behavior, or problem supported by the available evidence. Broadly paraphrase the request "
    "without quoting it or revealing its exact wording or sensitive details. Generic "
    "descriptions such as \"editing files,\" \"updating code,\" \"making changes,\" or "
    "\"working in the repository\" are invalid. Do not include names, credentials, URLs, "
    "customer data, exact file paths, counts, branch names, or markdown. Do not modify "
    "files.\n\n");

const QLatin1StringView rejectedPhrases[] = {
    QLatin1StringView("editing files"),        QLatin1StringView("editing multiple files"),
    QLatin1StringView("editing several files"), QLatin1StringView("updating files"),
    QLatin1StringView("updating code"),        QLatin1StringView("making code changes"),
    QLatin1StringView("making changes"),       QLatin1StringView("working in this repository"),
    QLatin1StringView("working in the repository"),
};

// Removes the answer file on every way out of generate().
class RemovedOnExit
{
public:
    explicit RemovedOnExit(QString path) : m_path(std::move(path)) {}
    ~RemovedOnExit() { QFile::remove(m_path); }
    RemovedOnExit(const RemovedOnExit &) = delete;
    RemovedOnExit &operator=(const RemovedOnExit &) = delete;

private:
    QString m_path;
};

// A name as one prompt line: control characters and the Unicode line and paragraph separators
// written as escapes, so that a file or branch named with a line feed cannot start a line of
// its own and pose as a section of the prompt. Only the prompt's text: the values themselves
// (and the fingerprints made of them) stay as they are.
QString asOneLine(const QString &name)
{
    QString line;
    line.reserve(name.size());
    for (const QChar c : name) {
        switch (c.unicode()) {
        case u'\n':
            line += QStringLiteral("\\n");
            continue;
        case u'\r':
            line += QStringLiteral("\\r");
            continue;
        case u'\t':
            line += QStringLiteral("\\t");
            continue;
        default:
            break;
        }
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Separator_Line
            || category == QChar::Separator_Paragraph) {
            line += QStringLiteral("\\u{%1}").arg(c.unicode(), 0, 16);
        } else {
            line += c;
        }
    }
    return line;
}

std::optional<QString> readAnswer(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.read(WorkSummaryGenerator::maximumAnswerBytes);
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace

WorkSummaryGenerator::WorkSummaryGenerator(QString temporaryDirectory,
                                           std::chrono::milliseconds deadline)
    : m_temporaryDirectory(std::move(temporaryDirectory))
    , m_deadline(deadline)
{
}

std::optional<QString> WorkSummaryGenerator::generate(const WorkSummaryRequest &request,
                                                      const std::stop_token &stopToken) const
{
    const QString tool = SystemCodexLauncher::findCommandLine();
    if (tool.isEmpty())
        return std::nullopt;
    const QString directory =
        m_temporaryDirectory.isEmpty() ? QDir::tempPath() : m_temporaryDirectory;
    const QString outputPath =
        QDir(directory).filePath(outputFilePrefix
                                 + QUuid::createUuid().toString(QUuid::WithoutBraces).toLower()
                                 + QStringLiteral(".txt"));
    const RemovedOnExit removal(outputPath);

    ProcessRequest run;
    run.program = tool;
    run.arguments = {QStringLiteral("exec"),
                     QStringLiteral("--ephemeral"),
                     QStringLiteral("--sandbox"),
                     QStringLiteral("read-only"),
                     QStringLiteral("--ignore-user-config"),
                     QStringLiteral("--ignore-rules"),
                     QStringLiteral("--skip-git-repo-check"),
                     QStringLiteral("--color"),
                     QStringLiteral("never"),
                     QStringLiteral("-C"),
                     directory,
                     QStringLiteral("-o"),
                     outputPath,
                     QStringLiteral("-")};
    run.environment = {{QStringLiteral("GIT_OPTIONAL_LOCKS"), QStringLiteral("0")},
                       {QStringLiteral("LC_ALL"), QStringLiteral("C")}};
    // The runner writes the prompt while it waits, so the deadline also bounds a tool that
    // never reads it; one that exits first only fails the write.
    run.standardInput = prompt(request).toUtf8();
    run.timeoutMilliseconds = int(m_deadline.count());
    run.discardOutput = true;
    run.stopToken = stopToken;
    const ProcessResult result = ProcessRunner::run(run);
    if (!result.succeeded()) {
        qCInfo(lcTeam, "Work summary generation failed: %s",
               qUtf8Printable(result.errorMessage.isEmpty()
                                  ? QStringLiteral("exit code %1").arg(result.exitCode)
                                  : result.errorMessage));
        return std::nullopt;
    }
    const std::optional<QString> answer = readAnswer(outputPath);
    if (!answer)
        return std::nullopt;
    return sanitized(*answer);
}

QString WorkSummaryGenerator::prompt(const WorkSummaryRequest &request)
{
    QString text =
        promptOpening + QStringLiteral("Repository: ") + asOneLine(request.repositoryName);
    text += QStringLiteral("\nBranch: ")
            + (request.branch ? asOneLine(*request.branch) : QStringLiteral("detached"));
    text += QStringLiteral("\nGit state: %1 staged, %2 modified, %3 untracked, +%4, -%5")
                .arg(request.stagedCount)
                .arg(request.modifiedCount)
                .arg(request.untrackedCount)
                .arg(request.additions)
                .arg(request.deletions);
    text += QStringLiteral("\nCodex processing: ")
            + (request.isCodexProcessing ? QStringLiteral("yes") : QStringLiteral("no"));
    text += QStringLiteral("\nChanged file paths:\n");
    QStringList lines;
    for (const QString &file : request.changedFiles) {
        if (lines.size() == maximumChangedFileLines)
            break;
        if (ProjectRepositoryStore::canShare(file))
            lines.append(QStringLiteral("- ") + asOneLine(file));
    }
    text += lines.isEmpty() ? QStringLiteral("- None yet") : lines.join(QLatin1Char('\n'));
    text += QStringLiteral(
                "\n\nLatest user request (private context; never quote or reproduce):\n")
            + request.latestUserRequest.value_or(QStringLiteral("Unavailable"));
    const QString evidence = graphemePrefix(request.summaryEvidence, maximumEvidenceCharacters);
    text += QStringLiteral(
                "\n\nCurrent change evidence (private context; never quote or reproduce):\n")
            + (evidence.isEmpty() ? QStringLiteral("Unavailable") : evidence);
    return text;
}

std::optional<QString> WorkSummaryGenerator::sanitized(const QString &answer)
{
    QString text = answer;
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text = text.simplified();
    const auto isTrimmed = [](QChar c) {
        return c == QLatin1Char('"') || c == QLatin1Char('\'') || c == QLatin1Char('`')
               || c == QLatin1Char('-') || c == QLatin1Char(' ');
    };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isTrimmed(text.at(begin)))
        ++begin;
    while (end > begin && isTrimmed(text.at(end - 1)))
        --end;
    text = text.mid(begin, end - begin);
    if (text.isEmpty())
        return std::nullopt;

    const QString lower = text.toLower();
    for (const QLatin1StringView phrase : rejectedPhrases) {
        if (lower.contains(phrase))
            return std::nullopt;
    }
    static const QRegularExpression editingCount(
        QStringLiteral("^(editing|updating|changing)\\s+\\d+\\s+files?\\b"),
        QRegularExpression::CaseInsensitiveOption
            | QRegularExpression::UseUnicodePropertiesOption);
    if (editingCount.match(text).hasMatch())
        return std::nullopt;

    if (graphemeCount(text) <= maximumSentenceCharacters)
        return text;
    const QString cut = graphemePrefix(text, maximumSentenceCharacters);
    const qsizetype space = cut.lastIndexOf(QLatin1Char(' '));
    return space >= 0 ? cut.left(space) : cut;
}

} // namespace tolvaran
