#pragma once

#include "markdown_view/View.h"

#include <QImage>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QNetworkAccessManager;

namespace tolvaran::markdown {

// Where the pixels of a block image come from: a view for an image URL (none when the
// source does not form a URL). Set for a document with MarkdownView::setImageProvider.
class ImageProvider
{
public:
    virtual ~ImageProvider() = default;
    virtual View makeImage(const std::optional<QUrl> &url) const = 0;

protected:
    ImageProvider() = default;
    ImageProvider(const ImageProvider &) = default;
    ImageProvider &operator=(const ImageProvider &) = default;
};

// Images from the network (http and https) and from files inside the document's image base
// folder, through the context's loader (the shared one unless set). An image still loading
// or failed takes no room; a loaded one shows at its size, shrunk to fit the width.
class DefaultImageProvider final : public ImageProvider
{
public:
    DefaultImageProvider() = default;
    // The older form that named a network session: the session is ignored.
    [[deprecated("use DefaultImageProvider()")]] explicit DefaultImageProvider(
        QNetworkAccessManager *)
    {
    }

    View makeImage(const std::optional<QUrl> &url) const override;
};

// Images by name from a folder of the program (Qt's resources, ":/" unless given): the name
// is the URL's last path component unless `name` says otherwise. A name not found shows
// nothing.
class AssetImageProvider final : public ImageProvider
{
public:
    explicit AssetImageProvider(std::function<QString(const QUrl &)> name = {},
                                QString folder = QStringLiteral(":/"));
    View makeImage(const std::optional<QUrl> &url) const override;

private:
    std::function<QString(const QUrl &)> m_name;
    QString m_folder;
};

// The image named for `url` in `folder` (by `name`, or the URL's last path component when
// `name` is empty); none when the name is empty, reaches into another folder, or names no
// readable image. Shared by the block and the inline asset providers.
std::optional<QImage> assetImage(const std::function<QString(const QUrl &)> &name,
                                 const QString &folder, const QUrl &url);

} // namespace tolvaran::markdown
