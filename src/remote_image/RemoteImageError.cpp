#include "remote_image/RemoteImageError.h"

namespace tolvaran::markdown {

QString errorMessage(RemoteImageErrorKind kind)
{
    switch (kind) {
    case RemoteImageErrorKind::transferFailed:
        return QStringLiteral("The image could not be downloaded.");
    case RemoteImageErrorKind::badServerResponse:
        return QStringLiteral("The server did not answer with an image.");
    case RemoteImageErrorKind::cannotDecodeContentData:
        return QStringLiteral("The image data could not be decoded.");
    case RemoteImageErrorKind::downloadTooLarge:
        return QStringLiteral("The image file is too large to download.");
    case RemoteImageErrorKind::imageTooLarge:
        return QStringLiteral("The image has too many pixels to show.");
    case RemoteImageErrorKind::urlRefused:
        return QStringLiteral("Images are loaded only from http and https addresses and from "
                              "the document's image folder.");
    case RemoteImageErrorKind::imageTooComplex:
        return QStringLiteral("The image is too complex to draw.");
    case RemoteImageErrorKind::abandoned:
        return QStringLiteral("The image was given up before it was decoded.");
    case RemoteImageErrorKind::redirectRefused:
        return QStringLiteral("The image's server redirected to an address that is not "
                              "allowed.");
    case RemoteImageErrorKind::tooManyRedirects:
        return QStringLiteral("The image's server redirected too many times.");
    case RemoteImageErrorKind::redirectLoop:
        return QStringLiteral("The image's server redirected in a loop.");
    case RemoteImageErrorKind::decoderUnavailable:
        return QStringLiteral("Images cannot be shown: the program that decodes them could "
                              "not be started.");
    }
    Q_UNREACHABLE();
    return {};
}

QString errorMessage(RemoteImageErrorKind kind, const QString &detail)
{
    if (kind == RemoteImageErrorKind::transferFailed && !detail.isEmpty())
        return QStringLiteral("The image could not be downloaded: ") + detail;
    if (kind == RemoteImageErrorKind::cannotDecodeContentData && !detail.isEmpty())
        return QStringLiteral("Images in the %1 format are not shown.").arg(detail);
    return errorMessage(kind);
}

QString RemoteImageError::message() const
{
    return errorMessage(m_kind, m_detail);
}

} // namespace tolvaran::markdown
