#include "platform/desktop/CodexLinks.h"

namespace tolvaran {

namespace {

bool isUnreserved(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9')
           || u == u'-' || u == u'.' || u == u'_' || u == u'~';
}

} // namespace

std::optional<QUrl> codexThreadLink(const QString &threadID)
{
    if (threadID.isEmpty() || threadID.startsWith(QLatin1Char('-'))
        || !std::all_of(threadID.cbegin(), threadID.cend(), isUnreserved))
        return std::nullopt;
    const QUrl link(QStringLiteral("codex://threads/") + threadID, QUrl::StrictMode);
    if (!link.isValid())
        return std::nullopt;
    return link;
}

std::optional<QUrl> codexNewChatLink(const QString &folder)
{
    if (folder.isEmpty())
        return std::nullopt;
    const QByteArray encoded = QByteArray("codex://new?path=")
                               + QUrl::toPercentEncoding(folder, QByteArrayLiteral("/"));
    const QUrl link = QUrl::fromEncoded(encoded, QUrl::StrictMode);
    if (!link.isValid())
        return std::nullopt;
    return link;
}

} // namespace tolvaran
