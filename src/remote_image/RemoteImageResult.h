#pragma once

#include "remote_image/RemoteImageError.h"

#include <QImage>

#include <variant>

namespace tolvaran::markdown {

// The outcome of one image load: the decoded image, or why there is none.
class RemoteImageResult final
{
public:
    RemoteImageResult(QImage image) : m_value(std::move(image)) {}
    RemoteImageResult(RemoteImageError error) : m_value(std::move(error)) {}

    bool succeeded() const { return std::holds_alternative<QImage>(m_value); }
    // The image; a null image when the load failed.
    QImage image() const { return succeeded() ? std::get<QImage>(m_value) : QImage(); }
    // Why the load failed; only meaningful when it did.
    RemoteImageError error() const
    {
        return succeeded() ? RemoteImageError{} : std::get<RemoteImageError>(m_value);
    }

private:
    std::variant<QImage, RemoteImageError> m_value;
};

} // namespace tolvaran::markdown
