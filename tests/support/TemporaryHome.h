#pragma once

#include <QString>
#include <QTemporaryDir>

namespace tolvaran::fixtures {

// A private temporary folder that a test builds its world in; removed with the object.
class TemporaryHome final
{
public:
    TemporaryHome();
    const QString &path() const { return m_path; }
    QString filePath(const QString &relative) const;
    // Writes `contents` to `relative` (creating folders) and returns the absolute path.
    QString writeFile(const QString &relative, const QByteArray &contents) const;

private:
    QTemporaryDir m_directory;
    QString m_path;
};

} // namespace tolvaran::fixtures
