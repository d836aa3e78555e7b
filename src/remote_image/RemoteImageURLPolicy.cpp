#include "remote_image/RemoteImageURLPolicy.h"

#include <QFileInfo>

namespace tolvaran::markdown {

namespace {

bool isHttpScheme(const QString &scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

} // namespace

bool RemoteImageURLPolicy::isNetworkURL(const QUrl &url)
{
    return url.isValid() && isHttpScheme(url.scheme().toLower()) && !url.host().isEmpty();
}

std::optional<QString> RemoteImageURLPolicy::permittedFile(const QUrl &url,
                                                           const QUrl &imageBaseURL)
{
    if (!url.isLocalFile() || !imageBaseURL.isLocalFile())
        return std::nullopt;
    const QFileInfo base(imageBaseURL.toLocalFile());
    const QString folder = base.canonicalFilePath();
    if (folder.isEmpty() || !base.isDir())
        return std::nullopt;
    const QFileInfo file(url.toLocalFile());
    const QString path = file.canonicalFilePath();
    if (path.isEmpty() || !file.isFile())
        return std::nullopt;
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder
                                                             : folder + QLatin1Char('/');
    if (!path.startsWith(prefix))
        return std::nullopt;
    return path;
}

bool RemoteImageURLPolicy::permitsRedirect(const QUrl &from, const QUrl &to)
{
    if (!isNetworkURL(to))
        return false;
    const bool downgrade = from.scheme().toLower() == QLatin1String("https")
                           && to.scheme().toLower() == QLatin1String("http");
    return !downgrade;
}

} // namespace tolvaran::markdown
