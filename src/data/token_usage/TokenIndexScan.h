#pragma once

#include "data/codex/CodexThread.h"
#include "data/token_usage/TokenIndexAccess.h"
#include "data/token_usage/UsageEvent.h"

#include <QtGlobal>

#include <cstddef>
#include <functional>
#include <optional>
#include <stop_token>
#include <utility>
#include <vector>

namespace tolvaran::Internal {

class RolloutTokenScanner;
struct RolloutRecord;

// One rollout a pass reads, and what reading it gave.
struct ScanItem
{
    const CodexThread *thread = nullptr;
    RolloutRecord *record = nullptr;
    RolloutFileState state; // before the read
    qint64 offset = 0;      // where the read starts
    bool restart = false;   // shrunk below its offset: its rows go first
    std::optional<qint64> consumed; // absent: it could not be read (or the read stopped)
    std::vector<std::pair<qint64, UsageEvent>> events;
};

// The reading of one pass's rollouts: side by side when there is much to read, each file's
// lines parsed on the thread that reads it, and each file handed to the pass to store as soon
// as it is read, one file at a time, by whichever reader is free to, so that the others read
// on meanwhile. A file that fails while being read gives nothing, so none of its lines of this
// pass is stored.
class TokenIndexScan final
{
public:
    using Store = std::function<void(ScanItem &item)>;

    TokenIndexScan(const TokenIndexAccess &access, std::stop_token stopToken)
        : m_access(access)
        , m_stopToken(std::move(stopToken))
    {
    }

    // Reads every item and stores each once it is read (its events dropped afterwards), in
    // the order reads end. Items not read yet when a stop is requested are neither read nor
    // stored: the next pass takes them. An exception of `store` ends the scan (nothing more
    // is stored) and passes through once every reader has stopped.
    void run(std::vector<ScanItem> &items, const Store &store) const;

    // The threads that read `items`: one for every so many bytes to read, so that a paced
    // pass of a few small rollouts does not spend more on handing files over than on reading
    // them (with one, the calling thread reads and stores file after file).
    static std::size_t readerCount(const std::vector<ScanItem> &items);

private:
    void read(ScanItem &item, RolloutTokenScanner &scanner) const;

    const TokenIndexAccess &m_access;
    const std::stop_token m_stopToken;
};

} // namespace tolvaran::Internal
