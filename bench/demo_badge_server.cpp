// Serves the demonstration READMEs' badges (tests/support/DemoReadme) on
// 127.0.0.1:DemoReadme::demoBadgePort until it is ended, for the screenshots of the Markdown
// tab. Writes its address to ADDRESS_FILE once it listens.
//
// usage: demo_badge_server ADDRESS_FILE
#include "support/markdown/DemoReadme.h"
#include "support/network/LocalHttpServer.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

using namespace tolvaran::fixtures;

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: demo_badge_server ADDRESS_FILE\n");
        return 2;
    }
    LocalHttpServer server;
    if (!server.listen(DemoReadme::demoBadgePort)) {
        std::fprintf(stderr, "demo_badge_server: port %d is taken\n",
                     int(DemoReadme::demoBadgePort));
        return 1;
    }
    for (const QString &name : DemoReadme::badgeNames()) {
        server.setResponse(DemoReadme::badgePath(name),
                           LocalHttpServer::Response::ok(DemoReadme::badgeSvg(name),
                                                         "image/svg+xml"));
    }
    QFile address(arguments[1]);
    if (!address.open(QIODevice::WriteOnly)
        || address.write(server.url(QStringLiteral("/")).toString().toUtf8()) < 0)
        return 1;
    address.close();
    return QCoreApplication::exec();
}
