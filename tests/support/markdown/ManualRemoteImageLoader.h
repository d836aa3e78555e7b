#pragma once

#include "remote_image/RemoteImageLoader.h"

#include <QList>
#include <QColor>
#include <QObject>
#include <QPointer>

#include <utility>

namespace tolvaran::fixtures {

// An image loader that records each request and completes it only when the test says so.
class ManualRemoteImageLoader final : public markdown::RemoteImageLoader
{
public:
    struct Call
    {
        QUrl url;
        QUrl imageBaseURL;
        QSize maximumSize; // invalid: the whole picture
        QPointer<QObject> context;
        bool hasContext = false;
        Completion completion;
    };

    void image(const QUrl &url, const QUrl &imageBaseURL, QObject *context,
               Completion completion) override;
    void imageAtSize(const QUrl &url, const QUrl &imageBaseURL, QSize maximumSize,
                     QObject *context, Completion completion) override;
    void drawing(const QUrl &url) override;
    void stoppedDrawing(const QUrl &url) override;

    // Completes request number `index` (in the order they came) with `result`, unless the
    // caller's context is gone.
    void complete(qsizetype index, const markdown::RemoteImageResult &result) const;
    // Completes request number `index` with a picture of `pictureSize` filled with `colour`,
    // decoded at the size the request asked for, as a loader that decodes to size would.
    void completeWithPicture(qsizetype index, QSize pictureSize, const QColor &colour) const;
    // The addresses of every request, in the order the program's loader would decode them
    // were each still waiting (DecodeQueue), after what the callers told of drawing them.
    QList<QUrl> decodingOrder() const;

    QList<Call> calls;
    // The addresses the callers said they were drawing, and those they said had left the
    // view, each in order.
    QList<QUrl> drawn;
    QList<QUrl> left;

private:
    // What the callers told, in order: whether each was drawing (or had stopped) and what.
    QList<std::pair<bool, QUrl>> m_told;
};

} // namespace tolvaran::fixtures
