// Rollout files: every line through the token-count parser (whose quick reader must agree
// with Qt's), and the whole input as a rollout file through the token scanner and the
// activity reader (processing state and latest request).
#include "data/codex/CodexActivityStore.h"
#include "data/token_usage/RolloutTokenScanner.h"
#include "data/token_usage/TokenCountLineParser.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

using namespace tolvaran;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir folder;
    static const QString path = folder.filePath(QStringLiteral("rollout.jsonl"));
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString cwd = QStringLiteral("/work/app");
    const std::optional<QString> model = QStringLiteral("gpt-5.5");

    for (const QByteArray &line : bytes.split('\n')) {
        const auto quick = Internal::TokenCountLineParser::parseEvent(line, cwd, model);
        const auto reference =
            Internal::TokenCountLineParser::parseEventWithQtReader(line, cwd, model);
        if (!(quick == reference))
            std::abort();
    }

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(bytes) != bytes.size())
        return 0;
    file.close();
    // Small blocks, so that lines cross block edges.
    Internal::RolloutTokenScanner scanner(64);
    qint64 handed = 0;
    scanner.scan(path, 0, qint64(size), [&handed](qint64, QByteArrayView line) {
        handed += line.size();
    });
    if (handed > qint64(size))
        std::abort();

    CodexActivityStore store;
    CodexThread thread;
    thread.id = QStringLiteral("t1");
    thread.rolloutPath = path;
    store.processingThreadIDs({thread});
    store.latestUserRequest(path);
    return 0;
}
