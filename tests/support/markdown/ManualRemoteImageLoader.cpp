#include "support/markdown/ManualRemoteImageLoader.h"

namespace tolvaran::fixtures {

void ManualRemoteImageLoader::image(const QUrl &url, const QUrl &imageBaseURL, QObject *context,
                                    Completion completion)
{
    imageAtSize(url, imageBaseURL, QSize(), context, std::move(completion));
}

void ManualRemoteImageLoader::imageAtSize(const QUrl &url, const QUrl &imageBaseURL,
                                          QSize maximumSize, QObject *context,
                                          Completion completion)
{
    calls.append(
        {url, imageBaseURL, maximumSize, context, context != nullptr, std::move(completion)});
}

void ManualRemoteImageLoader::completeWithPicture(qsizetype index, QSize pictureSize,
                                                  const QColor &colour) const
{
    QImage image(markdown::fittedPictureSize(pictureSize, calls.at(index).maximumSize),
                 QImage::Format_ARGB32);
    image.fill(colour);
    complete(index, markdown::DecodedImage(image, pictureSize));
}

void ManualRemoteImageLoader::complete(qsizetype index,
                                       const markdown::RemoteImageResult &result) const
{
    const Call &call = calls.at(index);
    if (!call.hasContext || call.context)
        call.completion(result);
}

} // namespace tolvaran::fixtures
