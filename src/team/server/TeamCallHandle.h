#pragma once

#include <QPointer>

#include <memory>

class QNetworkReply;

namespace tolvaran {

namespace Internal {
// The state of one team server call, shared by its handle and its continuations on the GUI
// thread (no locking: nothing else touches it).
struct TeamCallState
{
    QPointer<QNetworkReply> reply; // the request in flight, if any
    bool cancelled = false;
    bool finished = false;
};
} // namespace Internal

// One team server call as its starter holds it. Copies refer to the same call; a default
// handle refers to none.
class TeamCallHandle final
{
public:
    TeamCallHandle() = default;
    explicit TeamCallHandle(std::shared_ptr<Internal::TeamCallState> state);

    bool isValid() const { return m_state != nullptr; }
    // Ends the call at once: the request in flight is aborted and no later step starts. The
    // completion still runs (with a cancelled TeamTransportError) unless the call had already
    // finished. What the server or the settings store did before the cancel stays done.
    void cancel();
    bool isCancelled() const { return m_state && m_state->cancelled; }
    // True once the completion has run (or had nothing left to run for).
    bool isFinished() const { return m_state && m_state->finished; }

private:
    std::shared_ptr<Internal::TeamCallState> m_state;
};

} // namespace tolvaran
