#include "platform/storage/AtomicFileWriter.h"

#include <QSaveFile>

namespace tolvaran {

QString AtomicFileWriter::write(const QString &path, const QByteArray &contents,
                                QFileDevice::Permissions permissions)
{
    // QSaveFile writes a temporary file in the same folder and renames it over the target on
    // commit(), so a reader sees either the old file or the new one, never half of either.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("Could not open %1 for writing: %2").arg(path, file.errorString());
    if (!file.setPermissions(permissions))
        return QStringLiteral("Could not set the permissions of %1.").arg(path);
    if (file.write(contents) != contents.size()) {
        const QString message = file.errorString();
        file.cancelWriting();
        return QStringLiteral("Could not write %1: %2").arg(path, message);
    }
    if (!file.commit())
        return QStringLiteral("Could not save %1: %2").arg(path, file.errorString());
    return {};
}

} // namespace tolvaran
