#pragma once

#include "platform/Error.h"

#include <QNetworkReply>

namespace tolvaran {

// A team server call that got no complete answer: the network failed, the time limit passed,
// or the caller cancelled it. The sentence never carries the request or its headers.
class TeamTransportError final : public Error
{
public:
    enum class Kind {
        failed,    // no connection, or the connection ended before the answer was whole
        timedOut,  // nothing arrived within the request's time limit
        cancelled, // the caller cancelled the call
    };

    TeamTransportError(Kind kind, QNetworkReply::NetworkError networkError = {})
        : Error(messageFor(kind))
        , m_kind(kind)
        , m_networkError(networkError)
    {
    }

    Kind kind() const noexcept { return m_kind; }
    // The network layer's own code, for the log.
    QNetworkReply::NetworkError networkError() const noexcept { return m_networkError; }

    static QString messageFor(Kind kind);

private:
    Kind m_kind;
    QNetworkReply::NetworkError m_networkError;
};

} // namespace tolvaran
