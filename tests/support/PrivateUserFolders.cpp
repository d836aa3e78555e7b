#include "support/PrivateUserFolders.h"

#include <QDir>
#include <QFile>
#include <QtGlobal>

#include <string_view>
#include <utility>

namespace tolvaran::fixtures {

PrivateUserFolders::PrivateUserFolders(int argc, char *argv[])
{
    for (int index = 1; index < argc; ++index) {
        if (std::string_view(argv[index]).starts_with("--gtest_internal_run_death_test"))
            return;
    }
    m_directory.emplace(QDir::temp().filePath(QStringLiteral("tolvaran-test-user-XXXXXX")));
    if (!m_directory->isValid())
        qFatal("No temporary folder for the test program's user folders: %s",
               qPrintable(m_directory->errorString()));
    const QDir folder(m_directory->path());
    // Qt makes a runtime folder of its own in the temporary folder where none is set, and
    // wants it private.
    for (const auto &[variable, name] : {std::pair{"XDG_CACHE_HOME", "cache"},
                                         std::pair{"XDG_CONFIG_HOME", "config"},
                                         std::pair{"XDG_DATA_HOME", "data"},
                                         std::pair{"XDG_STATE_HOME", "state"},
                                         std::pair{"XDG_RUNTIME_DIR", "runtime"}}) {
        const QString path = folder.filePath(QLatin1String(name));
        folder.mkdir(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_environment.set(variable, QFile::encodeName(path));
    }
}

} // namespace tolvaran::fixtures
