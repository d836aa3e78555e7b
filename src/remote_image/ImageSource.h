#pragma once

#include <QHashFunctions>
#include <QUrl>

namespace tolvaran::markdown {

// Where an image comes from and how many of its pixels make one point of the view.
struct ImageSource
{
    QUrl url;
    qreal scale = 1;

    friend bool operator==(const ImageSource &, const ImageSource &) = default;
};

size_t qHash(const ImageSource &source, size_t seed = 0) noexcept;

} // namespace tolvaran::markdown
