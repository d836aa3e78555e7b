#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace tolvaran::fixtures {

// Sets and unsets environment variables of the test process for the life of the object and
// restores every one it changed afterwards. Children started meanwhile inherit the changes.
class ScopedEnvironment final
{
public:
    ScopedEnvironment() = default;
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

    void set(const char *name, const QByteArray &value);
    void unset(const char *name);
    // Points every folder the whole program uses into `home`: the home folder itself, Codex's
    // folder `codexHome`, and "data" and "config" below `home` for our own files.
    void useHome(const QString &home, const QString &codexHome);

private:
    void remember(const char *name);

    QList<QPair<QByteArray, std::optional<QByteArray>>> m_saved; // name, value before
};

} // namespace tolvaran::fixtures
