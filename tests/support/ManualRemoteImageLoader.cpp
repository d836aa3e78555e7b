#include "support/ManualRemoteImageLoader.h"

namespace tolvaran::fixtures {

void ManualRemoteImageLoader::image(const QUrl &url, const QUrl &imageBaseURL, QObject *context,
                                    Completion completion)
{
    calls.append({url, imageBaseURL, context, context != nullptr, std::move(completion)});
}

void ManualRemoteImageLoader::complete(qsizetype index,
                                       const markdown::RemoteImageResult &result) const
{
    const Call &call = calls.at(index);
    if (!call.hasContext || call.context)
        call.completion(result);
}

} // namespace tolvaran::fixtures
