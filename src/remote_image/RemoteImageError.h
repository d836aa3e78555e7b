#pragma once

#include <QString>

namespace tolvaran::markdown {

// Why an image could not be had. The views show no message (a failed image is simply not
// shown); the sentence is for logs and tests.
enum class RemoteImageErrorKind {
    transferFailed,          // no connection, time-out, unreadable file, ...
    badServerResponse,       // not an HTTP response, or a status outside 200 to 299
    cannotDecodeContentData, // the bytes are no image of a format decoded here (ImageFormats)
    downloadTooLarge,        // more bytes than DefaultRemoteImageLoader::maximumDownloadBytes
    imageTooLarge,           // more pixels than RemoteImageDecoder::maximumPixels
    urlRefused,              // neither http(s) nor a file under the image base folder (or an
                             // SVG that names a picture of its own by an address)
    redirectRefused,         // a redirect to a scheme other than http(s), or to plain http
    tooManyRedirects,        // more redirects than DefaultRemoteImageLoader::maximumRedirects
    redirectLoop,            // a redirect back to an address the download went through
    imageTooComplex,         // decoding it would pass its budget of work: an SVG's drawing
                             // (or one that holds another SVG), a JPEG's scans, a GIF's codes
                             // past its frame, an embedded PNG's data past its rows
    abandoned,               // the loader went away before the image was decoded
    decoderUnavailable,      // the program that decodes pictures could not be started
};

QString errorMessage(RemoteImageErrorKind kind);
// transferFailed names the transport's text after its sentence; cannotDecodeContentData with
// a detail says that the format it names is not shown.
QString errorMessage(RemoteImageErrorKind kind, const QString &detail);

// The program's error shape (a kind, an optional detail, a fixed sentence per kind) as a plain
// value: the image library stands apart from the layer that holds the thrown errors, and its
// errors are handed to callbacks, never thrown.
class RemoteImageError final
{
public:
    explicit RemoteImageError(RemoteImageErrorKind kind = RemoteImageErrorKind::transferFailed,
                              QString detail = {})
        : m_kind(kind)
        , m_detail(std::move(detail))
    {
    }

    RemoteImageErrorKind kind() const noexcept { return m_kind; }
    // The transport's own text for transferFailed; for cannotDecodeContentData, the name of a
    // format that Qt's plug-ins read and that is not decoded here (TIFF, TGA, ...); empty
    // otherwise.
    const QString &detail() const noexcept { return m_detail; }
    QString message() const;

    friend bool operator==(const RemoteImageError &, const RemoteImageError &) = default;

private:
    RemoteImageErrorKind m_kind;
    QString m_detail;
};

} // namespace tolvaran::markdown
