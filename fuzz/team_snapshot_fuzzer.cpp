// The team snapshot decoder over arbitrary bytes. Beyond not crashing, a snapshot that decodes
// must encode to bytes that decode and encode again to the same bytes.
#include "team/wire/TeamSnapshot.h"

#include <QByteArrayView>
#include <QLoggingCategory>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Refusals for size are logged; thousands of them would drown the fuzzer's own output.
    QLoggingCategory::setFilterRules(QStringLiteral("com.ostvik.tolvaran.team.warning=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace tolvaran;
    QByteArray encoded;
    try {
        encoded = TeamSnapshot::fromJson(QByteArrayView(data, qsizetype(size))).toJson();
    } catch (const TeamWireError &) {
        return 0;
    }
    if (TeamSnapshot::fromJson(encoded).toJson() != encoded)
        std::abort();
    return 0;
}
