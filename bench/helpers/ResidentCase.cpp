#include "helpers/ResidentCase.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

namespace tolvaran::fixtures::bench {

QList<double> residentCaseFigures(const QString &what, const QString &folder,
                                  const QString &cacheFolder)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), cacheFolder);
    process.setProcessEnvironment(environment);
    process.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--resident"), what, folder});
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        return {};
    QList<double> figures;
    for (const QByteArray &figure : process.readAllStandardOutput().simplified().split(' '))
        figures.append(figure.toDouble());
    figures.last() /= 1024;
    return figures;
}

QString megabytes(double value)
{
    return QStringLiteral("%1 MB").arg(value, 7, 'f', 1);
}

} // namespace tolvaran::fixtures::bench
