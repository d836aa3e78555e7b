// The reading of a pass's rollouts and the storing of what they gave.

#include "data/token_usage/TokenIndexPass.h"

#include "data/token_usage/RolloutTokenScanner.h"
#include "data/token_usage/TokenCountLineParser.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace tolvaran::Internal {

// Reads the rollouts side by side, each file's lines parsed on the thread that reads them,
// while this thread (the connection's) stores what each gave as soon as it is ready. A file
// that fails while being read gives nothing, so none of its lines of this pass is stored.
void TokenIndexPass::scanAll(std::vector<ScanItem> &items)
{
    if (items.empty())
        return;
    std::mutex lock;
    std::condition_variable readyChanged; // the writer waits for files read
    std::condition_variable roomChanged;  // readers wait for room in the queue
    std::vector<size_t> ready;
    size_t next = 0;
    size_t storedCount = 0;
    bool stopping = false;

    const auto scanOne = [&](size_t index, RolloutTokenScanner &scanner) {
        ScanItem &item = items[index];
        const CodexThread &thread = *item.thread;
        item.consumed = scanner.scan(
            thread.rolloutPath, item.offset, item.state.size,
            [&](qint64 lineOffset, QByteArrayView line) {
                if (auto event = TokenCountLineParser::parseEvent(line, thread.cwd,
                                                                  thread.model))
                    item.events.emplace_back(lineOffset, std::move(*event));
            },
            m_stopToken);
        if (!item.consumed)
            item.events.clear();
    };
    // One reader for every so many bytes: a paced pass of a few small rollouts would spend
    // more on starting threads, and on handing each file over, than on reading. With one,
    // this thread reads and stores file after file.
    qint64 bytes = 0;
    for (const ScanItem &item : items)
        bytes += item.state.size - item.offset;
    const size_t readers = size_t(std::clamp<qint64>(
        bytes / TokenUsageStore::bytesPerScanThread + 1, 1,
        std::min<qint64>(qint64(items.size()), TokenUsageStore::maximumScanThreads)));
    if (readers == 1) {
        RolloutTokenScanner scanner(RolloutTokenScanner::readBlockSize, m_access.read);
        for (size_t index = 0; index < items.size(); ++index) {
            if (m_stopToken.stop_requested())
                return; // the files not read yet are left for the next pass
            scanOne(index, scanner);
            store(items[index]);
            items[index].events = {};
        }
        return;
    }
    // A reader waits while the files read and not stored yet fill the queue, so that a pass
    // over a large history holds only a few files' events at a time.
    const auto worker = [&] {
        RolloutTokenScanner scanner(RolloutTokenScanner::readBlockSize, m_access.read);
        std::unique_lock held(lock);
        for (;;) {
            roomChanged.wait(held, [&] {
                return stopping || next == items.size()
                    || ready.size() < size_t(TokenUsageStore::maximumWaitingFiles);
            });
            if (stopping || next == items.size())
                return;
            if (m_stopToken.stop_requested()) {
                // The files not read yet are left for the next pass.
                next = items.size();
                readyChanged.notify_one();
                return;
            }
            const size_t index = next++;
            held.unlock();
            scanOne(index, scanner);
            held.lock();
            ready.push_back(index);
            if (ready.size() == 1)
                readyChanged.notify_one();
        }
    };
    std::exception_ptr failure;
    {
        std::vector<std::jthread> threads;
        for (size_t i = 0; i < readers; ++i)
            threads.emplace_back(worker);
        std::vector<size_t> taken;
        std::unique_lock held(lock);
        while (storedCount < items.size()) {
            readyChanged.wait(held, [&] {
                return !ready.empty() || (next == items.size() && m_stopToken.stop_requested());
            });
            if (ready.empty())
                break; // stopped: what is still being read is left for the next pass
            taken.swap(ready);
            held.unlock();
            roomChanged.notify_all();
            try {
                for (const size_t index : taken) {
                    store(items[index]);
                    items[index].events = {};
                }
            } catch (...) {
                failure = std::current_exception();
            }
            held.lock();
            if (failure)
                break;
            storedCount += taken.size();
            taken.clear();
        }
        // Readers still waiting for room give up, so that they can be joined.
        stopping = true;
        held.unlock();
        roomChanged.notify_all();
    }
    if (failure)
        std::rethrow_exception(failure);
}

void TokenIndexPass::store(ScanItem &item)
{
    const CodexThread &thread = *item.thread;
    const QString &path = thread.rolloutPath;
    RolloutRecord &record = *item.record;
    if (!item.consumed) {
        // Stopped, not unreadable: the next pass reads it again.
        if (m_stopToken.stop_requested())
            return;
        qCWarning(lcData, "Token usage index: could not read %s", qUtf8Printable(path));
        if (!record.indexed)
            rememberSkipped(path, record, item.state);
        return;
    }
    if (item.restart) {
        deleteEvents(path);
        // Indexed again below when it holds a complete line; else it waits with the others.
        m_state.unindexedStale = true;
        record.indexed = false;
        record.offset = 0;
        record.identity = std::optional<EventIdentity>();
    }
    insertEvents(thread, item.events);
    if (!item.events.empty() && !(record.identity && *record.identity))
        record.identity = std::optional<EventIdentity>(
            EventIdentity{thread.id, thread.cwd, thread.model});
    record.seen = item.state;
    if (*item.consumed > item.offset) {
        writeScanState(path, *item.consumed, item.state.size);
        record.indexed = true;
        record.offset = *item.consumed;
        forgetSkipped(path, record);
    } else if (!record.indexed) {
        rememberSkipped(path, record, item.state); // no complete line yet
    }
}

} // namespace tolvaran::Internal
