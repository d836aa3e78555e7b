// Codex's session index: any bytes give names without failing, each trimmed and not empty.
#include "data/codex/CodexSessionIndexStore.h"

#include <cstdint>
#include <cstdlib>

using namespace tolvaran;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QHash<QString, QString> names = CodexSessionIndexStore::parseThreadNames(bytes);
    for (const QString &name : names) {
        if (name.isEmpty() || name != name.trimmed())
            std::abort();
    }
    return 0;
}
