#pragma once

#include "remote_image/DecodedImage.h"
#include "remote_image/RemoteImageError.h"

#include <QImage>

#include <variant>

namespace tolvaran::markdown {

// The outcome of one image load: the decoded image, or why there is none.
class RemoteImageResult final
{
public:
    RemoteImageResult(QImage image) : m_value(DecodedImage(std::move(image))) {}
    RemoteImageResult(DecodedImage decoded) : m_value(std::move(decoded)) {}
    RemoteImageResult(RemoteImageError error) : m_value(std::move(error)) {}

    bool succeeded() const { return std::holds_alternative<DecodedImage>(m_value); }
    // The image; a null image when the load failed.
    QImage image() const { return succeeded() ? std::get<DecodedImage>(m_value).image : QImage(); }
    // The image with the size of the whole picture; only meaningful when the load succeeded.
    DecodedImage decoded() const
    {
        return succeeded() ? std::get<DecodedImage>(m_value) : DecodedImage(QImage());
    }
    // Why the load failed; only meaningful when it did.
    RemoteImageError error() const
    {
        return succeeded() ? RemoteImageError{} : std::get<RemoteImageError>(m_value);
    }

private:
    std::variant<DecodedImage, RemoteImageError> m_value;
};

} // namespace tolvaran::markdown
