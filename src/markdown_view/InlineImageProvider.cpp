#include "markdown_view/InlineImageProvider.h"

#include "remote_image/DefaultRemoteImageLoader.h"

#include <QDir>
#include <QImageReader>

namespace tolvaran::markdown {

void DefaultInlineImageProvider::image(const QUrl &url, const QString &label,
                                       const QUrl &imageBaseURL, QObject *context,
                                       Completion completion) const
{
    DefaultRemoteImageLoader::shared()->image(
        url, imageBaseURL, context,
        [label, completion = std::move(completion)](const RemoteImageResult &result) {
            if (!result.succeeded()) {
                completion(std::nullopt);
                return;
            }
            QImage image = result.image();
            image.setText(QStringLiteral("Description"), label);
            completion(image);
        });
}

AssetInlineImageProvider::AssetInlineImageProvider(std::function<QString(const QUrl &)> name,
                                                   QString folder)
    : m_name(std::move(name))
    , m_folder(std::move(folder))
{
}

void AssetInlineImageProvider::image(const QUrl &url, const QString &label, const QUrl &,
                                     QObject *, Completion completion) const
{
    const QString name = m_name ? m_name(url) : url.fileName();
    if (name.isEmpty() || name.contains(QLatin1Char('/'))) {
        completion(std::nullopt);
        return;
    }
    QImage image = QImageReader(QDir(m_folder).filePath(name)).read();
    if (image.isNull()) {
        completion(std::nullopt);
        return;
    }
    image.setText(QStringLiteral("Description"), label);
    completion(image);
}

} // namespace tolvaran::markdown
