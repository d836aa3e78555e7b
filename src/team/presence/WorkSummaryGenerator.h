#pragma once

#include "team/presence/WorkSummaryRequest.h"

#include <QString>

#include <chrono>
#include <optional>
#include <stop_token>

namespace tolvaran {

// Writes the one-sentence summary of a repository's uncommitted work with the Codex
// command-line tool: "codex exec" in a read-only sandbox, the prompt on standard input, the
// answer in a temporary file of its own, which is removed on every way out. Blocking (up to
// the deadline and the time the tool takes to die): call it from a background job. Keeps no
// state, so several teams may generate at once.
class WorkSummaryGenerator final
{
public:
    static constexpr std::chrono::seconds defaultDeadline{90};
    static constexpr qsizetype maximumChangedFileLines = 40;
    static constexpr qsizetype maximumSentenceCharacters = 140;
    // The evidence in a prompt, in characters: the bound the scan itself keeps, applied again
    // because states also come from the cache file.
    static constexpr qsizetype maximumEvidenceCharacters = 49'152;
    // The answer file read back: a sentence is far shorter.
    static constexpr qint64 maximumAnswerBytes = 64 * 1024;
    static inline const QString outputFilePrefix = QStringLiteral("tolvaran-summary-");

    // `temporaryDirectory`: where the answer file goes (and the tool runs); empty for the
    // system's. `deadline`: how long the tool may run, prompt included.
    explicit WorkSummaryGenerator(QString temporaryDirectory = {},
                                  std::chrono::milliseconds deadline = defaultDeadline);

    // The sentence, or nothing for any failure: no tool, a failed start, the deadline, a
    // non-zero exit or a signal, an unreadable answer, a generic or empty sentence. A stop
    // requested through `stopToken` ends the tool at once.
    std::optional<QString> generate(const WorkSummaryRequest &request,
                                    const std::stop_token &stopToken = {}) const;

    // The prompt for `request`; secret-looking file names are left out of its file list, and
    // the repository's name, the branch and each file stay on their line (control characters
    // escaped).
    static QString prompt(const WorkSummaryRequest &request);
    // The tool's answer as one line without quotes, cut at a word to 140 characters; nothing
    // when it is empty or says no more than "editing files".
    static std::optional<QString> sanitized(const QString &answer);

private:
    QString m_temporaryDirectory;
    std::chrono::milliseconds m_deadline;
};

} // namespace tolvaran
