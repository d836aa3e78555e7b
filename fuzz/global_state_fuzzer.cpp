// Codex's global-state file: any bytes are read (or refused with the store's error) and every
// change either fails with the store's error or leaves a JSON object behind.
#include "data/codex/CodexGlobalStateStore.h"

#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

using namespace tolvaran;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir folder;
    static const QString path = folder.filePath(QStringLiteral(".codex-global-state.json"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        return 0;
    file.close();

    const CodexGlobalStateStore store(path);
    const auto wroteAnObject = [] {
        QFile written(path);
        return written.open(QIODevice::ReadOnly)
            && QJsonDocument::fromJson(written.readAll()).isObject();
    };
    try {
        store.loadSnapshot();
        store.markThreadRead(QStringLiteral("t1"));
        store.setPinnedProjectPath(QStringLiteral("/w/app"), true);
        store.setProjectName(QStringLiteral("p1"), QStringLiteral("Renamed"));
    } catch (const CodexGlobalStateStoreError &) {
        return 0;
    }
    if (!wroteAnObject())
        std::abort();
    return 0;
}
