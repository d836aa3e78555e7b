#include "team/server/TeamCallHandle.h"

#include <QNetworkReply>

namespace tolvaran {

TeamCallHandle::TeamCallHandle(std::shared_ptr<Internal::TeamCallState> state)
    : m_state(std::move(state))
{
}

void TeamCallHandle::cancel()
{
    if (!m_state || m_state->finished || m_state->cancelled)
        return;
    m_state->cancelled = true;
    if (QNetworkReply *reply = m_state->reply.data(); reply != nullptr)
        reply->abort();
}

} // namespace tolvaran
