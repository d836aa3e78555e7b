#pragma once

#include "markdown_view/ResizeToFit.h"

#include <QUrl>

#include <functional>
#include <memory>

namespace tolvaran::markdown {

class RemoteImageLoader;
class RemoteImageModel;

// A network (or image-base file) image inside a rendered document: takes no room until its
// image has arrived, then shows it resized to fit. It is a layout item painted by the
// document's view rather than a widget, so it keeps the image model of a network image view
// itself; loading starts when it is first laid out, never when it is built. When the image
// arrives (or fails) it asks to be laid out again and calls `changed`.
class RemoteImageItem final : public ResizeToFitItem
{
public:
    RemoteImageItem(const QUrl &url, const QUrl &imageBaseURL, RemoteImageLoader *loader,
                    std::function<void()> changed, const QString &accessibleName);
    ~RemoteImageItem() override;

    const QUrl &url() const { return m_url; }

protected:
    QSizeF doLayout(qreal width) override;

private:
    void imageChanged();

    QUrl m_url;
    QUrl m_imageBaseURL;
    RemoteImageLoader *m_loader;
    std::function<void()> m_changed;
    std::unique_ptr<RemoteImageModel> m_model;
};

} // namespace tolvaran::markdown
