#include "markdown_view/items/InlinePictureLoader.h"

#include "markdown_view/InlineImageProvider.h"

#include <utility>

namespace tolvaran::markdown {

InlinePictureLoader::InlinePictureLoader(std::shared_ptr<const InlineImageProvider> provider,
                                         QString label)
    : m_provider(std::move(provider))
    , m_label(std::move(label))
{
}

void InlinePictureLoader::image(const QUrl &url, const QUrl &imageBaseURL, QObject *context,
                                Completion completion)
{
    imageAtSize(url, imageBaseURL, QSize(), context, std::move(completion));
}

void InlinePictureLoader::imageAtSize(const QUrl &url, const QUrl &imageBaseURL,
                                      QSize maximumSize, QObject *context, Completion completion)
{
    m_provider->imageAtSize(url, m_label, imageBaseURL, maximumSize, context,
                            std::move(completion));
}

void InlinePictureLoader::drawing(const QUrl &url)
{
    m_provider->drawing(url);
}

void InlinePictureLoader::stoppedDrawing(const QUrl &url)
{
    m_provider->stoppedDrawing(url);
}

} // namespace tolvaran::markdown
