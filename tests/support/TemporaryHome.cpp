#include "support/TemporaryHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace tolvaran::fixtures {

TemporaryHome::TemporaryHome()
    : m_directory(QDir::tempPath() + QStringLiteral("/tolvaran-test-XXXXXX"))
    , m_path(QFileInfo(m_directory.path()).canonicalFilePath())
{
    if (!m_directory.isValid())
        throw std::runtime_error("could not create a temporary folder");
}

QString TemporaryHome::filePath(const QString &relative) const
{
    return m_path + QLatin1Char('/') + relative;
}

QString TemporaryHome::writeFile(const QString &relative, const QByteArray &contents) const
{
    const QString path = filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        throw std::runtime_error("could not write a fixture file");
    return path;
}

} // namespace tolvaran::fixtures
