#pragma once

#include "remote_image/RemoteImageLoader.h"

#include <QList>
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
        QPointer<QObject> context;
        bool hasContext = false;
        Completion completion;
    };

    void image(const QUrl &url, const QUrl &imageBaseURL, QObject *context,
               Completion completion) override;

    // Completes request number `index` (in the order they came) with `result`, unless the
    // caller's context is gone.
    void complete(qsizetype index, const markdown::RemoteImageResult &result) const;

    QList<Call> calls;
};

} // namespace tolvaran::fixtures
