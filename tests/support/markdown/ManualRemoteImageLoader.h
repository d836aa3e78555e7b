#pragma once

#include "remote_image/RemoteImageLoader.h"

#include <QList>
#include <QColor>
#include <QObject>
#include <QPointer>

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
    void drawing(const QUrl &url) override { drawn.append(url); }
    void stoppedDrawing(const QUrl &url) override { left.append(url); }

    // Completes request number `index` (in the order they came) with `result`, unless the
    // caller's context is gone.
    void complete(qsizetype index, const markdown::RemoteImageResult &result) const;
    // Completes request number `index` with a picture of `pictureSize` filled with `colour`,
    // decoded at the size the request asked for, as a loader that decodes to size would.
    void completeWithPicture(qsizetype index, QSize pictureSize, const QColor &colour) const;

    QList<Call> calls;
    // The addresses the callers said they were drawing, and those they said had left the
    // view, each in order.
    QList<QUrl> drawn;
    QList<QUrl> left;
};

} // namespace tolvaran::fixtures
