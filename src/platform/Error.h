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

// An error with a fixed set of kinds, told apart by its `kind()`. Its message is the kind's
// fixed sentence; a kind that carries a detail (a path, SQLite's or a tool's own message, a
// server's sentence) has a sentence made with it. A component declares its enum of kinds and,
// beside it,
//   QString errorMessage(TheKind kind);  // every kind's fixed sentence, never empty
// and, only when one of its kinds carries a detail,
//   QString errorMessage(TheKind kind, const QString &detail);  // the sentence with it
// `using TheError = KindError<TheKind>;` is then its error type; an error that keeps more for
// the log than its detail is a thin subclass.
template <typename KindType>
class KindError : public Error
{
public:
    using Kind = KindType;

    explicit KindError(Kind kind)
        : Error(errorMessage(kind))
        , m_kind(kind)
    {
    }

    KindError(Kind kind, QString detail)
        : Error(errorMessage(kind, detail))
        , m_kind(kind)
        , m_detail(std::move(detail))
    {
    }

    Kind kind() const noexcept { return m_kind; }
    // What the error carries beside its kind, as it was given; empty for most kinds.
    const QString &detail() const noexcept { return m_detail; }

    friend bool operator==(const KindError &a, const KindError &b) noexcept
    {
        return a.m_kind == b.m_kind && a.m_detail == b.m_detail;
    }

private:
    Kind m_kind;
    QString m_detail;
};

} // namespace tolvaran
