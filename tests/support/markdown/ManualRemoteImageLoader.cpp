#include "support/markdown/ManualRemoteImageLoader.h"

#include "remote_image/DecodeQueue.h"

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

void ManualRemoteImageLoader::drawing(const QUrl &url)
{
    drawn.append(url);
    m_told.append({true, url});
}

void ManualRemoteImageLoader::stoppedDrawing(const QUrl &url)
{
    left.append(url);
    m_told.append({false, url});
}

QList<QUrl> ManualRemoteImageLoader::decodingOrder() const
{
    markdown::DecodeQueue queue;
    for (qsizetype index = 0; index < calls.size(); ++index)
        queue.add({calls[index].url, quint64(index), {}, {}});
    for (const auto &[drawing, url] : m_told) {
        if (drawing)
            queue.drawing(url);
        else
            queue.stoppedDrawing(url);
    }
    QList<QUrl> order;
    while (const auto next = queue.takeNext(markdown::DecodeQueue::Taker::ordinary))
        order.append(next->url);
    return order;
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
