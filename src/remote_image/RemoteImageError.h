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
    urlRefused,              // neither http(s) nor a file under the image base folder
    redirectRefused,         // a redirect to a scheme other than http(s), or to plain http
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
