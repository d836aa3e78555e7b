#include "platform/AppBrand.h"

#include <QCoreApplication>

namespace tolvaran::AppBrand {

QString version()
{
    const QString stated = QCoreApplication::applicationVersion();
    return stated.isEmpty() ? fallbackVersion : stated;
}

} // namespace tolvaran::AppBrand
