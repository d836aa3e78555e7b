#pragma once

#include <QString>

namespace tolvaran::markdown {

// Why an image could not be had. The views show no message (a failed image is simply not
// shown); the sentence is for logs and tests.
enum class RemoteImageErrorKind {
    transferFailed,          // no connection, time-out, unreadable file, ...
    badServerResponse,       // not an HTTP response, or a status outside 200 to 299
    cannotDecodeContentData, // the bytes are no image that a reader of ours understands
    downloadTooLarge,        // more bytes than DefaultRemoteImageLoader::maximumDownloadBytes
    imageTooLarge,           // more pixels than RemoteImageDecoder::maximumPixels
    urlRefused,              // neither http(s) nor a file under the image base folder (or an
                             // SVG that names a picture of its own by an address)
    redirectRefused,         // a redirect to a scheme other than http(s), or to plain http
    imageTooComplex,         // an SVG whose drawing passes the budget, or that holds another
    abandoned,               // the loader went away before the image was decoded
};

struct RemoteImageError
{
    RemoteImageErrorKind kind = RemoteImageErrorKind::transferFailed;
    // The transport's own text for transferFailed; empty otherwise.
    QString detail;

    QString message() const;

    friend bool operator==(const RemoteImageError &, const RemoteImageError &) = default;
};

} // namespace tolvaran::markdown
