#include "data/token_usage/RolloutTokenScanner.h"

#include "data/token_usage/TokenCountLineParser.h"
#include "work/FileDescriptor.h"

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

RolloutTokenScanner::RolloutTokenScanner(qsizetype blockSize, ReadFunction read)
    : m_blockSize(std::max(blockSize, pattern.size() + 1))
    , m_read(std::move(read))
{
}

RolloutTokenScanner::~RolloutTokenScanner() = default;

qint64 RolloutTokenScanner::readAt(int descriptor, char *buffer, qint64 size,
                                   qint64 offset) const
{
    if (m_read)
        return m_read(descriptor, buffer, size, offset);
    return qint64(::pread(descriptor, buffer, size_t(size), off_t(offset)));
}

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
    // Most reads are of a few kilobytes: the block is only as large as the read needs (and
    // grows when a later read needs more), never filled before use.
    const qsizetype wantedBlock = std::max(
        qsizetype(std::min<qint64>(m_blockSize, end - offset + 1)), pattern.size() + 1);
    if (m_allocated < wantedBlock) {
        m_block = std::make_unique_for_overwrite<char[]>(size_t(wantedBlock));
        m_allocated = wantedBlock;
    }
    const qsizetype blockSize = m_allocated;
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
        const qint64 wanted = std::min<qint64>(blockSize - length, end - position);
        const qint64 got = readAt(file.get(), block + length, wanted, position);
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
            if (length < blockSize)
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
                for (qint64 done = 0; done < line.size();) {
                    const qint64 more = readAt(file.get(), line.data() + done,
                                               line.size() - done, longLineStart + done);
                    if (more < 0 && errno == EINTR)
                        continue;
                    if (more <= 0)
                        return std::nullopt; // failed, or cut short meanwhile
                    done += more;
                }
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
