// A stand-in update server for the screenshots of the update control: it announces release
// 26.9.1 and answers its download either never (the installation stays at work) or with 404
// (the installation fails). Listens on 127.0.0.1 only; writes its address to ADDRESS_FILE and
// serves until it is ended.
//
// usage: demo_update_server ADDRESS_FILE stall|missing
#include "support/network/LocalHttpServer.h"
#include "support/update/ReleaseBuilder.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

using namespace tolvaran::fixtures;

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3
        || (arguments[2] != QLatin1String("stall") && arguments[2] != QLatin1String("missing"))) {
        std::fprintf(stderr, "usage: demo_update_server ADDRESS_FILE stall|missing\n");
        return 2;
    }
    LocalHttpServer server;
    if (!server.listen())
        return 1;
    const QByteArray archive(1024 * 1024, 'x');
    const auto manifest = ReleaseBuilder::manifestFor(QStringLiteral("26.9.1"), archive);
    ReleaseBuilder::publish(server, manifest, archive);
    if (arguments[2] == QLatin1String("stall"))
        server.hold(manifest.downloadPath);
    else
        server.setResponse(manifest.downloadPath, LocalHttpServer::Response::withStatus(404));

    QFile address(arguments[1]);
    if (!address.open(QIODevice::WriteOnly) || address.write(ReleaseBuilder::baseAddress(server).toUtf8()) < 0)
        return 1;
    address.close();
    return QCoreApplication::exec();
}
