#pragma once

#include <QByteArray>
#include <QList>
#include <QUrl>

class QAbstractNetworkCache;

namespace tolvaran::markdown {

// What the image loader keeps in, and asks of, its session's disk cache beside the answers
// Qt stores there itself: where a redirect led, and whether a stored answer is whole.
struct StoredResponses final
{
    // Stores under `asked` a small record that answers as a redirect to `target`, whose own
    // answer is stored, so that the next load of `asked` (in this run or the next) walks to
    // the stored picture without the network. A record rather than a copy of the answer: a
    // picture behind a redirect takes its room in the cache once. Nothing is stored where
    // `target` has no answer stored (one that said "no-store", say), nor where the record is
    // there already. The record names `target` without its password.
    static void recordRedirect(QAbstractNetworkCache &responses, const QUrl &asked,
                               const QUrl &target);

    // Whether an answer with this Cache-Control header may be served from the disk cache
    // without asking the server, as Qt's network access judges the answers it stores itself:
    // not one that says "no-store" (which it does not store), "no-cache" or "must-revalidate".
    // A record is served so, whatever its age, so only such redirects are recorded.
    static bool mayServeStored(const QByteArray &cacheControl);

    // Whether an answer of `bodyBytes` is shorter than its headers declared: a stored one cut
    // short (the disk filled as it was written, say). Answers stored inflated, whose declared
    // length was that of their compressed body, declare none.
    static bool isCut(const QByteArray &contentLength, const QByteArray &contentEncoding,
                      qint64 bodyBytes);

    // Removes the answer stored for `url` unless it holds `bodyBytes`, the body received for
    // it: the disk cache keeps an entry cut short when the disk fills as it is written, and
    // then serves it as it is. Returns whether an answer of that length remains stored.
    static bool keepOnlyWhole(QAbstractNetworkCache &responses, const QUrl &url,
                              qint64 bodyBytes);

    // Removes what is stored under each of `urls`.
    static void forget(QAbstractNetworkCache &responses, const QList<QUrl> &urls);
};

} // namespace tolvaran::markdown
