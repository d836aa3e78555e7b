#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

namespace tolvaran::Internal {

// Streams a rollout file from a byte offset and hands over the complete lines that hold the
// usage-line pattern. Rollout files reach gigabytes and single lines tens of megabytes, so the
// file is read in large blocks and never held whole; only lines with the pattern are ever
// copied or parsed, and a cheap byte search decides which those are.
class RolloutTokenScanner final
{
public:
    static constexpr qsizetype readBlockSize = 8 * 1024 * 1024;

    // Called with the line's offset in the file and its bytes (without the line feed); the
    // bytes are valid during the call only.
    using LineHandler = std::function<void(qint64 offset, QByteArrayView line)>;

    // pread(): the count read, 0 at the end of the file, -1 with errno set on a failure.
    using ReadFunction =
        std::function<qint64(int descriptor, char *buffer, qint64 size, qint64 offset)>;

    // `blockSize` must exceed the pattern's length; smaller blocks serve tests of lines that
    // cross block edges. Every read of the file goes through `read` (the system's when empty).
    explicit RolloutTokenScanner(qsizetype blockSize = readBlockSize, ReadFunction read = {});
    ~RolloutTokenScanner();
    RolloutTokenScanner(const RolloutTokenScanner &) = delete;
    RolloutTokenScanner &operator=(const RolloutTokenScanner &) = delete;

    // Reads `path` from `offset` up to `end` (the size seen before the read) and returns the
    // offset just past the last complete line, `offset` itself when no line was completed.
    // An incomplete last line is left for a later scan. Absent when the file could not be
    // opened or read; lines handed over before a read failure must then be discarded.
    // Exceptions thrown by `handler` pass through. A stop requested through `stopToken` ends
    // the read between blocks, as a failed read does.
    std::optional<qint64> scan(const QString &path, qint64 offset, qint64 end,
                               const LineHandler &handler,
                               const std::stop_token &stopToken = {});

private:
    qint64 readAt(int descriptor, char *buffer, qint64 size, qint64 offset) const;

    qsizetype m_blockSize;
    ReadFunction m_read;
    std::unique_ptr<char[]> m_block;
    qsizetype m_allocated = 0;
};

} // namespace tolvaran::Internal
