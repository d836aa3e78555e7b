#pragma once

#include "remote_image/RemoteImageLoader.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QNetworkAccessManager;
class QObject;

namespace tolvaran::markdown {

class DefaultInlineImageProviderTesting;
class RemoteImageLoader;

// Where the pixels of an image inside a line of text come from. `completion` is called once,
// on the GUI thread, with the image (none when it could not be had), unless `context` is
// gone by then. The label is the picture's description, which the view keeps beside it.
class InlineImageProvider
{
public:
    using Completion = std::function<void(const std::optional<QImage> &image)>;
    using SizedCompletion = RemoteImageLoader::Completion;

    virtual ~InlineImageProvider() = default;
    virtual void image(const QUrl &url, const QString &label, const QUrl &imageBaseURL,
                       QObject *context, Completion completion) const = 0;
    // The same for a picture drawn no larger than `maximumSize` (device pixels; invalid for
    // the whole picture), as the view asks for it: the pixels may come decoded smaller, the
    // result telling the whole picture's size (in points). By default the whole image
    // (image()), at its size in points.
    virtual void imageAtSize(const QUrl &url, const QString &label, const QUrl &imageBaseURL,
                             QSize maximumSize, QObject *context,
                             SizedCompletion completion) const;
    // The view shows the place of the picture at `url`, asked for and not yet delivered,
    // though it takes no room yet: a provider whose loader queues its work passes it on
    // (RemoteImageLoader::drawing). Does nothing by default.
    virtual void drawing(const QUrl &url) const { Q_UNUSED(url); }
    // The picture at `url`, told as being drawn earlier, has left the view (scrolled away, its
    // view hidden or gone; RemoteImageLoader::stoppedDrawing). Does nothing by default.
    virtual void stoppedDrawing(const QUrl &url) const { Q_UNUSED(url); }

protected:
    InlineImageProvider() = default;
    InlineImageProvider(const InlineImageProvider &) = default;
    InlineImageProvider &operator=(const InlineImageProvider &) = default;
};

// Images through the process-wide loader (network and image-base files), whatever loader a
// view was given; the loader hears which of them the view shows while they load.
class DefaultInlineImageProvider final : public InlineImageProvider
{
public:
    DefaultInlineImageProvider() = default;
    // The older form that named a network session: the session is ignored.
    [[deprecated("use DefaultInlineImageProvider()")]] explicit DefaultInlineImageProvider(
        QNetworkAccessManager *)
    {
    }

    void image(const QUrl &url, const QString &label, const QUrl &imageBaseURL,
               QObject *context, Completion completion) const override;
    // Decoded to the size asked by the loader, whose cache's pixels it delivers as they are:
    // every reference to a picture drawn at one size shares them.
    void imageAtSize(const QUrl &url, const QString &label, const QUrl &imageBaseURL,
                     QSize maximumSize, QObject *context,
                     SizedCompletion completion) const override;
    void drawing(const QUrl &url) const override;
    void stoppedDrawing(const QUrl &url) const override;

private:
    friend class DefaultInlineImageProviderTesting;

    RemoteImageLoader &loader() const;

    // None: the shared loader, made on first use.
    RemoteImageLoader *m_loader = nullptr;
};

// Images by name from a folder of the program (Qt's resources, ":/" unless given); the name
// is the URL's last path component unless `name` says otherwise. Answers at once.
class AssetInlineImageProvider final : public InlineImageProvider
{
public:
    explicit AssetInlineImageProvider(std::function<QString(const QUrl &)> name = {},
                                      QString folder = QStringLiteral(":/"));
    void image(const QUrl &url, const QString &label, const QUrl &imageBaseURL,
               QObject *context, Completion completion) const override;

private:
    std::function<QString(const QUrl &)> m_name;
    QString m_folder;
};

} // namespace tolvaran::markdown
