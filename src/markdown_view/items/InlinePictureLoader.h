#pragma once

#include "remote_image/RemoteImageLoader.h"

#include <QString>

#include <memory>

namespace tolvaran::markdown {

class InlineImageProvider;

// What a picture in a line of text loads through: the view's inline image provider, asked for
// the picture with its label, so that the picture loads, lets go of its pixels and asks for
// them again at the size it is drawn as a block picture does through its loader.
class InlinePictureLoader final : public RemoteImageLoader
{
public:
    InlinePictureLoader(std::shared_ptr<const InlineImageProvider> provider, QString label);

    void image(const QUrl &url, const QUrl &imageBaseURL, QObject *context,
               Completion completion) override;
    void imageAtSize(const QUrl &url, const QUrl &imageBaseURL, QSize maximumSize,
                     QObject *context, Completion completion) override;
    void drawing(const QUrl &url) override;
    void stoppedDrawing(const QUrl &url) override;

private:
    std::shared_ptr<const InlineImageProvider> m_provider;
    QString m_label;
};

} // namespace tolvaran::markdown
