#include "support/PrivateUserFolders.h"

#include <QDir>
#include <QFile>
#include <QtGlobal>

#include <utility>

namespace tolvaran::fixtures {

PrivateUserFolders::PrivateUserFolders()
    : m_directory(QDir::temp().filePath(QStringLiteral("tolvaran-test-user-XXXXXX")))
{
    if (!m_directory.isValid())
        qFatal("No temporary folder for the test program's user folders: %s",
               qPrintable(m_directory.errorString()));
    const QDir folder(m_directory.path());
    for (const auto &[variable, name] : {std::pair{"XDG_CACHE_HOME", "cache"},
                                         std::pair{"XDG_CONFIG_HOME", "config"},
                                         std::pair{"XDG_DATA_HOME", "data"},
                                         std::pair{"XDG_STATE_HOME", "state"}}) {
        const QString path = folder.filePath(QLatin1String(name));
        folder.mkpath(path);
        m_environment.set(variable, QFile::encodeName(path));
    }
}

} // namespace tolvaran::fixtures
