#include "support/ScopedEnvironment.h"

#include <QDir>
#include <QFile>
#include <QtGlobal>

namespace tolvaran::fixtures {

ScopedEnvironment::~ScopedEnvironment()
{
    // Latest change first, so that a variable changed twice ends as it began.
    for (auto it = m_saved.crbegin(); it != m_saved.crend(); ++it) {
        if (it->second)
            qputenv(it->first.constData(), *it->second);
        else
            qunsetenv(it->first.constData());
    }
}

void ScopedEnvironment::set(const char *name, const QByteArray &value)
{
    remember(name);
    qputenv(name, value);
}

void ScopedEnvironment::unset(const char *name)
{
    remember(name);
    qunsetenv(name);
}

void ScopedEnvironment::useHome(const QString &home, const QString &codexHome)
{
    set("HOME", QFile::encodeName(home));
    set("CODEX_HOME", QFile::encodeName(codexHome));
    set("XDG_DATA_HOME", QFile::encodeName(QDir(home).filePath(QStringLiteral("data"))));
    set("XDG_CONFIG_HOME", QFile::encodeName(QDir(home).filePath(QStringLiteral("config"))));
}

void ScopedEnvironment::remember(const char *name)
{
    std::optional<QByteArray> before;
    if (qEnvironmentVariableIsSet(name))
        before = qgetenv(name);
    m_saved.append({QByteArray(name), before});
}

} // namespace tolvaran::fixtures
