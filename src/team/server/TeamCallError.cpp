#include "team/server/TeamCallError.h"

namespace tolvaran {

const QString &TeamCallError::message() const
{
    return std::visit([](const Error &error) -> const QString & { return error.message(); },
                      m_value);
}

bool TeamCallError::isCancelled() const
{
    const TeamTransportError *transport = transportError();
    return transport && transport->kind() == TeamTransportError::Kind::cancelled;
}

} // namespace tolvaran
