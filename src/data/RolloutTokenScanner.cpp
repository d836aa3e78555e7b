#include "data/RolloutTokenScanner.h"

#include "data/TokenCountLineParser.h"
#include "platform/FileDescriptor.h"

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace tolvaran::Internal {

namespace {

constexpr QByteArrayView pattern = TokenCountLineParser::pattern;

const char *findPattern(const char *from, const char *to)
{
    return static_cast<const char *>(
        ::memmem(from, size_t(to - from), pattern.data(), size_t(pattern.size())));
}

// Reads exactly `length` bytes at `offset`; false on a failure or a file that ended early.
bool readFully(int descriptor, char *into, qint64 length, qint64 offset)
{
    while (length > 0) {
        const ssize_t got = ::pread(descriptor, into, size_t(length), off_t(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        into += got;
        offset += got;
        length -= got;
    }
    return true;
}

// Hands over every line of `region` (whole lines, the last ending in a line feed) that holds
// the pattern. Each line is handled at most once: the search goes on after its line feed.
void handleLines(const char *region, qsizetype size, qint64 regionOffset,
                 const RolloutTokenScanner::LineHandler &handler)
{
    const char *const end = region + size;
    const char *from = region;
    while (from < end) {
        const char *match = findPattern(from, end);
        if (!match)
            return;
        const auto *previousFeed =
            static_cast<const char *>(::memrchr(from, '\n', size_t(match - from)));
        const char *lineStart = previousFeed ? previousFeed + 1 : from;
        const char *afterMatch = match + pattern.size();
        const auto *lineEnd =
            static_cast<const char *>(::memchr(afterMatch, '\n', size_t(end - afterMatch)));
        handler(regionOffset + (lineStart - region),
                QByteArrayView(lineStart, lineEnd - lineStart));
        from = lineEnd + 1;
    }
}

} // namespace

RolloutTokenScanner::RolloutTokenScanner(qsizetype blockSize)
    : m_blockSize(std::max(blockSize, pattern.size() + 1))
{
}

RolloutTokenScanner::~RolloutTokenScanner() = default;

std::optional<qint64> RolloutTokenScanner::scan(const QString &path, qint64 offset, qint64 end,
                                                const LineHandler &handler,
                                                const std::stop_token &stopToken)
{
    // Non-blocking, so that a named pipe where a rollout should be cannot stall the pass (its
    // read then fails instead).
    const FileDescriptor file(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0)
        return std::nullopt;
    if (offset >= end)
        return offset;
    ::posix_fadvise(file.get(), off_t(offset), off_t(end - offset), POSIX_FADV_SEQUENTIAL);
    if (!m_block)
        m_block = std::make_unique<char[]>(size_t(m_blockSize));
    char *const block = m_block.get();

    // block[0] is the start of a line, except while a line longer than the block is read:
    // then the block holds the last bytes read of that line.
    qint64 blockOffset = offset; // file offset of block[0]
    qsizetype length = 0;
    qint64 position = offset; // next file offset to read
    qint64 consumed = offset;
    bool inLongLine = false;
    qint64 longLineStart = 0;
    bool longLineHasPattern = false;
    const qsizetype overlap = pattern.size() - 1;

    while (position < end) {
        if (stopToken.stop_requested())
            return std::nullopt;
        const qint64 wanted = std::min<qint64>(m_blockSize - length, end - position);
        const ssize_t got = ::pread(file.get(), block + length, size_t(wanted), off_t(position));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break; // the file was cut short meanwhile; a later scan sees its new size
        const char *newData = block + length;
        position += got;
        length += got;

        // Bytes kept from before hold no line feed, so only the new ones are searched.
        const auto *lastFeed = static_cast<const char *>(::memrchr(newData, '\n', size_t(got)));
        if (!lastFeed) {
            if (length < m_blockSize)
                continue;
            // The block is full and holds no line end: a line longer than the block. Keep
            // its start and whether it holds the pattern, and only the last bytes that could
            // begin a pattern running on into the next block.
            if (!inLongLine) {
                inLongLine = true;
                longLineStart = blockOffset;
                longLineHasPattern = false;
            }
            longLineHasPattern = longLineHasPattern || findPattern(block, block + length);
            std::memmove(block, block + length - overlap, size_t(overlap));
            blockOffset += length - overlap;
            length = overlap;
            continue;
        }

        const qsizetype complete = lastFeed - block + 1;
        qsizetype regionStart = 0;
        if (inLongLine) {
            const auto *lineEnd =
                static_cast<const char *>(::memchr(block, '\n', size_t(complete)));
            longLineHasPattern = longLineHasPattern || findPattern(block, lineEnd);
            const qint64 lineEndOffset = blockOffset + (lineEnd - block);
            if (longLineHasPattern) {
                // Rare: only its tail is in memory, so read the whole line again.
                QByteArray line(lineEndOffset - longLineStart, Qt::Uninitialized);
                if (!readFully(file.get(), line.data(), line.size(), longLineStart))
                    return std::nullopt;
                handler(longLineStart, QByteArrayView(line));
            }
            inLongLine = false;
            regionStart = lineEnd - block + 1;
        }
        handleLines(block + regionStart, complete - regionStart, blockOffset + regionStart,
                    handler);
        consumed = blockOffset + complete;

        const qsizetype rest = length - complete;
        std::memmove(block, block + complete, size_t(rest));
        blockOffset += complete;
        length = rest;
    }
    return consumed;
}

} // namespace tolvaran::Internal
