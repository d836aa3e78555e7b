#pragma once

#include <QImage>
#include <QSizeF>

#include <optional>

namespace tolvaran::markdown {

// What a network image shows: nothing loaded yet, the loaded image, or a failed load (the
// error itself is not kept).
class RemoteImageState final
{
public:
    enum class Kind { empty, success, failure };

    static RemoteImageState empty() { return RemoteImageState(Kind::empty, {}, {}); }
    static RemoteImageState failure() { return RemoteImageState(Kind::failure, {}, {}); }
    // `idealSize` is the image's size in points.
    static RemoteImageState success(QImage image, QSizeF idealSize)
    {
        return RemoteImageState(Kind::success, std::move(image), idealSize);
    }

    Kind kind() const { return m_kind; }
    // The image for success, none otherwise.
    std::optional<QImage> image() const;
    QSizeF idealSize() const { return m_idealSize; }

    friend bool operator==(const RemoteImageState &, const RemoteImageState &) = default;

private:
    RemoteImageState(Kind kind, QImage image, QSizeF idealSize)
        : m_kind(kind), m_image(std::move(image)), m_idealSize(idealSize)
    {
    }

    Kind m_kind;
    QImage m_image;
    QSizeF m_idealSize;
};

} // namespace tolvaran::markdown
