#pragma once

#include <QString>

namespace tolvaran {

// The state of a team's socket, or of all enabled teams together. Only `reconnecting` and
// `failed` carry a message; for the other cases the message is ignored by equality.
struct TeamConnectionState
{
    enum class Case { connecting, connected, reconnecting, failed, disabled };

    Case state = Case::disabled;
    QString message;

    static TeamConnectionState connecting() { return {Case::connecting, {}}; }
    static TeamConnectionState connected() { return {Case::connected, {}}; }
    static TeamConnectionState reconnecting(const QString &error)
    {
        return {Case::reconnecting, error};
    }
    static TeamConnectionState failed(const QString &error) { return {Case::failed, error}; }
    static TeamConnectionState disabled() { return {Case::disabled, {}}; }

    bool carriesMessage() const { return state == Case::reconnecting || state == Case::failed; }

    friend bool operator==(const TeamConnectionState &a, const TeamConnectionState &b)
    {
        return a.state == b.state && (!a.carriesMessage() || a.message == b.message);
    }
};

} // namespace tolvaran
