#pragma once

#include <QString>

#include <exception>

namespace tolvaran {

// The base of every error the program throws: one user-facing sentence. Each component
// derives its own error type with its own cases. Nothing thrown crosses a Qt event handler or
// a thread-pool job: those catch and hand back a result or message.
class Error : public std::exception
{
public:
    explicit Error(QString message)
        : m_message(std::move(message))
        , m_utf8(m_message.toUtf8())
    {
    }

    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// The sentence of anything thrown: our own errors' message, another exception's what().
inline QString messageOf(const std::exception &error)
{
    if (const auto *own = dynamic_cast<const Error *>(&error))
        return own->message();
    return QString::fromUtf8(error.what());
}

// An error with a fixed set of cases and one sentence per case, told apart by its `kind()`.
// A component declares its enum of cases and, beside it, `QString errorMessage(TheEnum)`
// giving each case's sentence; `using TheError = KindError<TheEnum>;` is then its error type.
template <typename KindType>
class KindError final : public Error
{
public:
    using Kind = KindType;

    explicit KindError(Kind kind)
        : Error(errorMessage(kind))
        , m_kind(kind)
    {
    }

    Kind kind() const noexcept { return m_kind; }

private:
    Kind m_kind;
};

} // namespace tolvaran
