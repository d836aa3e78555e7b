#include "data/token_usage/TokenIndexScan.h"

#include "data/token_usage/RolloutTokenScanner.h"
#include "data/token_usage/TokenCountLineParser.h"
#include "data/token_usage/TokenUsageStore.h"
#include "work/ForEachSideBySide.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <mutex>

namespace tolvaran::Internal {

namespace {

// Scanners for the readers, kept for the whole scan: each holds a read block of
// RolloutTokenScanner::readBlockSize, which one made for every file would allocate again.
class ScannerShelf final
{
public:
    explicit ScannerShelf(const TokenIndexAccess &access)
        : m_access(access)
    {
    }

    std::unique_ptr<RolloutTokenScanner> take()
    {
        {
            const std::lock_guard lock(m_mutex);
            if (!m_scanners.empty()) {
                auto scanner = std::move(m_scanners.back());
                m_scanners.pop_back();
                return scanner;
            }
        }
        return std::make_unique<RolloutTokenScanner>(RolloutTokenScanner::readBlockSize,
                                                     m_access.read);
    }

    void giveBack(std::unique_ptr<RolloutTokenScanner> scanner)
    {
        const std::lock_guard lock(m_mutex);
        m_scanners.push_back(std::move(scanner));
    }

private:
    const TokenIndexAccess &m_access;
    std::mutex m_mutex;
    std::vector<std::unique_ptr<RolloutTokenScanner>> m_scanners;
};

} // namespace

std::size_t TokenIndexScan::readerCount(const std::vector<ScanItem> &items)
{
    qint64 bytes = 0;
    for (const ScanItem &item : items)
        bytes += item.state.size - item.offset;
    return std::size_t(std::clamp<qint64>(
        bytes / TokenUsageStore::bytesPerScanThread + 1, 1,
        std::max<qint64>(1, std::min<qint64>(qint64(items.size()),
                                             TokenUsageStore::maximumScanThreads))));
}

void TokenIndexScan::read(ScanItem &item, RolloutTokenScanner &scanner) const
{
    const CodexThread &thread = *item.thread;
    item.consumed = scanner.scan(
        thread.rolloutPath, item.offset, item.state.size,
        [&](qint64 lineOffset, QByteArrayView line) {
            if (auto event = TokenCountLineParser::parseEvent(line, thread.cwd, thread.model))
                item.events.emplace_back(lineOffset, std::move(*event));
        },
        m_stopToken);
    if (!item.consumed)
        item.events.clear();
}

void TokenIndexScan::run(std::vector<ScanItem> &items, const Store &store) const
{
    if (items.empty())
        return;
    ScannerShelf shelf(m_access);
    // Held by the one reader that stores; the pass's connection and state are used under it
    // only, so they see one thread at a time.
    std::mutex storing;
    // Guards the files read and not stored yet, and the failure.
    std::mutex queue;
    std::vector<std::size_t> ready;
    std::exception_ptr failure;
    std::atomic<bool> failed = false;

    // With `storing` held: stores what is ready until nothing is.
    const auto storeReady = [&] {
        for (;;) {
            std::vector<std::size_t> taken;
            {
                const std::lock_guard lock(queue);
                taken.swap(ready);
            }
            if (taken.empty())
                return;
            for (const std::size_t index : taken) {
                if (!failed) {
                    try {
                        store(items[index]);
                    } catch (...) {
                        const std::lock_guard lock(queue);
                        failure = std::current_exception();
                        failed = true;
                    }
                }
                items[index].events = {};
            }
        }
    };
    // A reader whose file is read stores it, and what else is ready, unless another reader
    // is storing: that one sees the file when it looks again after letting go. A reader waits
    // for its turn only while many files wait, so that a pass over a large history holds only
    // a few files' events at a time.
    const auto offer = [&](std::size_t index) {
        bool full = false;
        {
            const std::lock_guard lock(queue);
            ready.push_back(index);
            full = ready.size() >= std::size_t(TokenUsageStore::maximumWaitingFiles);
        }
        for (;;) {
            std::unique_lock turn(storing, std::defer_lock);
            if (full)
                turn.lock();
            else if (!turn.try_lock())
                return;
            storeReady();
            turn.unlock();
            const std::lock_guard lock(queue);
            if (ready.empty())
                return;
            full = false;
        }
    };
    forEachSideBySide(items.size(), readerCount(items), [&](std::size_t index) {
        // Stopped or failed: the files not read yet are left for the next pass.
        if (failed || m_stopToken.stop_requested())
            return;
        std::unique_ptr<RolloutTokenScanner> scanner = shelf.take();
        read(items[index], *scanner);
        shelf.giveBack(std::move(scanner));
        offer(index);
    });
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace tolvaran::Internal
