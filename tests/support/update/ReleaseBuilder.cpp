#include "support/update/ReleaseBuilder.h"

#include "platform/ProcessRunner.h"
#include "support/network/LocalHttpServer.h"
#include "support/update/ReleaseSigningKey.h"
#include "update/ApplicationSignature.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <stdexcept>

namespace tolvaran::fixtures::ReleaseBuilder {

namespace {

void write(const QString &path, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(contents) < 0)
        throw std::runtime_error("could not write a release fixture");
}

} // namespace

void writeApplicationFolder(const QString &folder, const QString &version,
                            const QString &programBody, const QString &identifier)
{
    write(folder + QStringLiteral("/bin/tolvaran"),
          QByteArray("#!/bin/sh\n") + programBody.toUtf8() + '\n');
    QFile::setPermissions(folder + QStringLiteral("/bin/tolvaran"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                              | QFileDevice::ReadGroup | QFileDevice::ExeGroup
                              | QFileDevice::ReadOther | QFileDevice::ExeOther);
    write(folder + QStringLiteral("/application.json"),
          QJsonDocument(QJsonObject{{QStringLiteral("identifier"), identifier},
                                    {QStringLiteral("version"), version}})
              .toJson());
    write(folder + QStringLiteral("/lib/readme.txt"), "Tolvaran " + version.toUtf8() + '\n');
}

void signApplicationFolder(const QString &folder, const ReleaseSigningKey &key)
{
    const QByteArray signature = key.sign(ApplicationSignature::canonicalListing(folder));
    write(folder + QStringLiteral("/application.signature"), signature.toBase64() + '\n');
}

QByteArray archiveOf(const QString &parent)
{
    ProcessRequest request;
    request.program = QStringLiteral("tar");
    request.arguments = {QStringLiteral("--create"),       QStringLiteral("--gzip"),
                         QStringLiteral("--file=-"),        QStringLiteral("--directory"),
                         parent,                            QStringLiteral("--owner=0"),
                         QStringLiteral("--group=0"),       QStringLiteral("--numeric-owner"),
                         QStringLiteral("--sort=name"),     QStringLiteral("Tolvaran")};
    const ProcessResult result = ProcessRunner::run(request);
    if (!result.succeeded())
        throw std::runtime_error("tar could not make a release archive");
    return result.standardOutput;
}

AppUpdateManifest manifestFor(const QString &version, const QByteArray &archive)
{
    const QByteArray hash = QCryptographicHash::hash(archive, QCryptographicHash::Sha256);
    return AppUpdateManifest{version, QString::fromLatin1(hash.toHex()), archive.size(),
                             QStringLiteral("/v1/app/releases/") + version
                                 + QStringLiteral("/download"),
                             QStringLiteral("2026-12-01T10:00:00Z")};
}

QByteArray manifestJson(const AppUpdateManifest &manifest)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("version"), manifest.version},
                                     {QStringLiteral("sha256"), manifest.sha256},
                                     {QStringLiteral("size"), manifest.size},
                                     {QStringLiteral("downloadPath"), manifest.downloadPath},
                                     {QStringLiteral("publishedAt"), manifest.publishedAt}})
        .toJson();
}

void publish(LocalHttpServer &server, const AppUpdateManifest &manifest,
             const QByteArray &archive)
{
    server.setResponse(QStringLiteral("/v1/app/update"),
                       LocalHttpServer::Response::ok(manifestJson(manifest), "application/json"));
    server.setResponse(manifest.downloadPath,
                       LocalHttpServer::Response::ok(archive, "application/gzip"));
}

QString baseAddress(const LocalHttpServer &server)
{
    return server.url(QString()).toString();
}

} // namespace tolvaran::fixtures::ReleaseBuilder
