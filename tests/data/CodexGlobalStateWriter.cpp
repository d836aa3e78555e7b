#include "CodexGlobalStateWriter.h"

#include "data/codex/CodexGlobalStateStore.h"

#include <QFile>

#include <cstring>

namespace tolvaran::fixtures {

namespace {

constexpr const char *writerArgument = "--write-codex-global-state-until-killed";
constexpr int failedWrite = 3;
const QString pinnedFolder = QStringLiteral("/w/pinned-by-the-writer");

} // namespace

std::unique_ptr<RestartedTestProgram> CodexGlobalStateWriter::start(const QString &statePath)
{
    return std::make_unique<RestartedTestProgram>(
        QStringList{QString::fromLatin1(writerArgument), statePath});
}

std::optional<int> CodexGlobalStateWriter::runIfAsked(int argc, char *argv[])
{
    if (argc != 3 || std::strcmp(argv[1], writerArgument) != 0)
        return std::nullopt;
    const CodexGlobalStateStore store(QFile::decodeName(argv[2]));
    for (bool pin = true, first = true;; pin = !pin) {
        try {
            store.setPinnedProjectPath(pinnedFolder, pin);
        } catch (const CodexGlobalStateStoreError &error) {
            // Another writer (the test) kept changing the file: a change given up, no failure.
            if (error.kind() != CodexGlobalStateStoreErrorKind::stateChangedDuringUpdate)
                return failedWrite;
        }
        if (first)
            RestartedTestProgram::announceReady();
        first = false;
    }
}

} // namespace tolvaran::fixtures
