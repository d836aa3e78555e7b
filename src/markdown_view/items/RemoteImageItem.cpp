#include "markdown_view/items/RemoteImageItem.h"

#include "remote_image/RemoteImageModel.h"

namespace tolvaran::markdown {

RemoteImageItem::RemoteImageItem(const QUrl &url, const QUrl &imageBaseURL,
                                 RemoteImageLoader *loader, std::function<void()> changed,
                                 const QString &accessibleName)
    : ResizeToFitItem(QImage(), QSizeF(), accessibleName)
    , m_url(url)
    , m_imageBaseURL(imageBaseURL)
    , m_loader(loader)
    , m_changed(std::move(changed))
{
}

RemoteImageItem::~RemoteImageItem() = default;

QSizeF RemoteImageItem::doLayout(qreal width)
{
    if (!m_model) {
        // The model is the load's context: destroying this item drops its outcome.
        m_model = std::make_unique<RemoteImageModel>();
        m_model->setImageLoader(m_loader);
        m_model->setImageBaseURL(m_imageBaseURL);
        QObject::connect(m_model.get(), &RemoteImageModel::imageChanged, m_model.get(),
                         [this] { imageChanged(); });
        m_model->sourceChanged(ImageSource{m_url, 1});
    }
    return ResizeToFitItem::doLayout(width);
}

void RemoteImageItem::imageChanged()
{
    const RemoteImageState &state = m_model->image();
    // A failed image takes no room, as one still loading.
    if (const std::optional<QImage> image = state.image())
        setImage(*image, state.idealSize());
    else
        setImage(QImage(), QSizeF());
    setNeedsLayout();
    if (m_changed)
        m_changed();
}

} // namespace tolvaran::markdown
