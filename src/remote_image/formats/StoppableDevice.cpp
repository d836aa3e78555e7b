#include "remote_image/formats/StoppableDevice.h"

#include <algorithm>
#include <cstring>

namespace tolvaran::markdown {

StoppableDevice::StoppableDevice(QByteArray bytes, std::stop_token stop)
    : m_bytes(std::move(bytes))
    , m_stop(std::move(stop))
{
}

qint64 StoppableDevice::readData(char *data, qint64 maximum)
{
    if (m_stop.stop_requested())
        return -1;
    const qint64 length = std::max<qint64>(0, std::min(maximum, m_bytes.size() - pos()));
    if (length > 0)
        std::memcpy(data, m_bytes.constData() + pos(), size_t(length));
    if (const auto observe = s_readObserver.load(std::memory_order_relaxed))
        observe(length);
    return length;
}

qint64 StoppableDevice::writeData(const char *, qint64)
{
    return -1;
}

} // namespace tolvaran::markdown
