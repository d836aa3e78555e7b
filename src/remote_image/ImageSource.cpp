#include "remote_image/ImageSource.h"

namespace tolvaran::markdown {

size_t qHash(const ImageSource &source, size_t seed) noexcept
{
    return qHashMulti(seed, source.url, source.scale);
}

} // namespace tolvaran::markdown
