#pragma once

#include "platform/Error.h"

#include <QNetworkReply>

namespace tolvaran {

enum class TeamTransportErrorKind {
    failed,    // no connection, or the connection ended before the answer was whole
    timedOut,  // nothing arrived within the request's time limit
    cancelled, // the caller cancelled the call
};

QString errorMessage(TeamTransportErrorKind kind);

// A team server call that got no complete answer: the network failed, the time limit passed,
// or the caller cancelled it. The sentence never carries the request or its headers.
class TeamTransportError final : public KindError<TeamTransportErrorKind>
{
public:
    TeamTransportError(Kind kind, QNetworkReply::NetworkError networkError = {})
        : KindError(kind)
        , m_networkError(networkError)
    {
    }

    // The network layer's own code, for the log.
    QNetworkReply::NetworkError networkError() const noexcept { return m_networkError; }

private:
    QNetworkReply::NetworkError m_networkError;
};

} // namespace tolvaran
