#pragma once

#include "remote_image/RemoteImageLoader.h"

#include <QList>
#include <QObject>
#include <QPointer>

namespace tolvaran::markdown {

// A loader that records each request and completes it when the test says so.
class ManualRemoteImageLoader final : public RemoteImageLoader
{
public:
    struct Call
    {
        QUrl url;
        QUrl imageBaseURL;
        QPointer<QObject> context;
        Completion completion;
    };

    void image(const QUrl &url, const QUrl &imageBaseURL, QObject *context,
               Completion completion) override
    {
        calls.append({url, imageBaseURL, context, std::move(completion)});
    }

    // Completes the request number `index` (in the order they came) with `result`.
    void complete(qsizetype index, const RemoteImageResult &result)
    {
        const Call &call = calls.at(index);
        if (call.context)
            call.completion(result);
    }

    QList<Call> calls;
};

} // namespace tolvaran::markdown
