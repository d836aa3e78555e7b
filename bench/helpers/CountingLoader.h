#pragma once

#include "remote_image/RemoteImageLoader.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSize>
#include <QUrl>

namespace tolvaran::markdown {
class RemoteImageCache;
}

namespace tolvaran::fixtures::bench {

// The program's shared loader, counting what the pictures ask of it: the loads in flight, the
// decodes per address and the shrinks of cached pixels.
class CountingLoader final : public markdown::RemoteImageLoader
{
public:
    CountingLoader();

    void image(const QUrl &url, const QUrl &imageBaseURL, QObject *context,
               Completion completion) override;
    void imageAtSize(const QUrl &url, const QUrl &imageBaseURL, QSize maximumSize,
                     QObject *context, Completion completion) override;
    void drawing(const QUrl &url) override { m_loader.drawing(url); }
    void stoppedDrawing(const QUrl &url) override { m_loader.stoppedDrawing(url); }

    // No load in flight, and none asked for lately.
    bool quiet(qint64 milliseconds) const
    {
        return m_inFlight == 0 && m_sinceLastRequest.elapsed() >= milliseconds;
    }
    bool asked(const QUrl &url) const { return m_inFlightOf.contains(url); }
    bool loading(const QUrl &url) const { return m_inFlightOf.value(url) > 0; }
    // The size the picture at `url` was first asked for at.
    QSize firstAskedSize(const QUrl &url) const { return m_firstAskedSize.value(url); }
    const QHash<QUrl, int> &decodes() const { return m_decodes; }
    int shrinks() const { return m_shrinks; }

private:
    markdown::RemoteImageLoader &m_loader;
    const markdown::RemoteImageCache &m_cache;
    int m_inFlight = 0;
    QHash<QUrl, int> m_inFlightOf;
    QHash<QUrl, QSize> m_firstAskedSize;
    QElapsedTimer m_sinceLastRequest;
    QHash<QUrl, int> m_decodes;
    int m_shrinks = 0;
};

} // namespace tolvaran::fixtures::bench
