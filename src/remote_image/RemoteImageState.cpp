#include "remote_image/RemoteImageState.h"

namespace tolvaran::markdown {

std::optional<QImage> RemoteImageState::image() const
{
    if (m_kind != Kind::success)
        return std::nullopt;
    return m_image;
}

} // namespace tolvaran::markdown
