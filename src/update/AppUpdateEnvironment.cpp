#include "update/AppUpdateEnvironment.h"

#include "platform/AppBrand.h"
#include "platform/ServerAddress.h"

#include <QCoreApplication>
#include <QDir>

namespace tolvaran {

AppUpdateEnvironment AppUpdateEnvironment::system()
{
    AppUpdateEnvironment environment;
    environment.serverURL = serverAddress();
    environment.currentVersion = AppBrand::version();
    // Not QCoreApplication::applicationFilePath(): it keeps the path the program had when it
    // was first asked.
    environment.runningExecutable = QStringLiteral("/proc/self/exe");
    environment.releaseSigningKey = AppBrand::releaseSigningKey();
    environment.temporaryDirectory = QDir::tempPath();
    environment.processID = QCoreApplication::applicationPid();
    environment.quitApplication = [] { QCoreApplication::quit(); };
    return environment;
}

} // namespace tolvaran
