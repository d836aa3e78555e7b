#pragma once

#include "remote_image/RemoteImageError.h"

#include <QByteArray>
#include <QList>
#include <QUrl>

#include <optional>

namespace tolvaran::markdown {

// The addresses one image download goes through, from the address asked for to the one that
// answers with the picture, and which redirects it may follow: each hop is checked against
// the hop it came from (RemoteImageURLPolicy::permitsRedirect: only to http or https, never
// from https down to plain http), no address twice, and no more than a set number of hops.
//
// Redirects are walked here rather than by Qt's network access, which follows them on its own
// but, in the Qt of Debian 12, asks the second hop of a chain again and ends without the body,
// and which tells its redirect check the hop's target as its origin, so that no step could be
// told from the one before it.
class RedirectWalk final
{
public:
    RedirectWalk(const QUrl &asked, int maximumRedirects);

    // The address to ask next: the one asked for until a redirect is followed.
    const QUrl &current() const { return m_addresses.last(); }
    // Every address asked so far, the one asked for first.
    const QList<QUrl> &addresses() const { return m_addresses; }
    bool redirected() const { return m_addresses.size() > 1; }

    // Whether an answer of `status` leads elsewhere, by its Location header.
    static bool isRedirect(int status);

    // Follows the current address's answer leading to `location` (relative to that address
    // or absolute), which becomes the current address; or, where it may not be followed, why.
    // A refused step leaves the walk as it was.
    std::optional<RemoteImageError> follow(const QByteArray &location);

private:
    QList<QUrl> m_addresses;
    int m_maximumRedirects;
};

} // namespace tolvaran::markdown
