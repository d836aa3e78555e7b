#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace tolvaran::markdown {

// Which image addresses may be read at all. Markdown comes from repositories and teammates,
// so an image address is outside input: it may reach the network only over http(s), and the
// local disk only inside the folder that the document's images are resolved against.
struct RemoteImageURLPolicy final
{
    // An http or https URL with a host.
    static bool isNetworkURL(const QUrl &url);

    // For a file URL whose file exists and lies inside the folder that `imageBaseURL` (a file
    // URL) names, after links and ".." are resolved: the resolved path to read. None for any
    // other URL, and for every file URL when there is no such folder.
    static std::optional<QString> permittedFile(const QUrl &url, const QUrl &imageBaseURL);

    // Whether a download of `from` may follow a redirect to `to`: only to http(s), and never
    // from https down to plain http.
    static bool permitsRedirect(const QUrl &from, const QUrl &to);
};

} // namespace tolvaran::markdown
