#include "remote_image/RedirectWalk.h"

#include "remote_image/RemoteImageURLPolicy.h"

namespace tolvaran::markdown {

namespace {

// Addresses compared as the server sees them: a fragment never reaches it.
QUrl withoutFragment(QUrl url)
{
    url.setFragment(QString());
    return url.adjusted(QUrl::NormalizePathSegments);
}

} // namespace

RedirectWalk::RedirectWalk(const QUrl &asked, int maximumRedirects)
    : m_addresses{asked}
    , m_maximumRedirects(maximumRedirects)
{
}

bool RedirectWalk::isRedirect(int status)
{
    switch (status) {
    case 301:
    case 302:
    case 303:
    case 307:
    case 308:
        return true;
    default:
        return false;
    }
}

std::optional<RemoteImageError> RedirectWalk::follow(const QByteArray &location)
{
    const QByteArray trimmed = location.trimmed();
    const QUrl relative = QUrl::fromEncoded(trimmed);
    if (trimmed.isEmpty() || !relative.isValid())
        return RemoteImageError{RemoteImageErrorKind::badServerResponse, {}};
    const QUrl next = current().resolved(relative);
    if (!RemoteImageURLPolicy::permitsRedirect(current(), next))
        return RemoteImageError{RemoteImageErrorKind::redirectRefused, {}};
    const QUrl nextAsSent = withoutFragment(next);
    for (const QUrl &address : std::as_const(m_addresses)) {
        if (withoutFragment(address) == nextAsSent)
            return RemoteImageError{RemoteImageErrorKind::redirectLoop, {}};
    }
    if (m_addresses.size() > m_maximumRedirects)
        return RemoteImageError{RemoteImageErrorKind::tooManyRedirects, {}};
    m_addresses.append(nextAsSent);
    return std::nullopt;
}

} // namespace tolvaran::markdown
