#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace tolvaran {

// "codex://threads/<id>": the link that opens one Codex chat. The id goes into the link
// unchanged, so an id holding anything but letters, digits and "-._~" (or starting with "-")
// forms no link: none of Codex's ids does, and encoding one would name another chat.
std::optional<QUrl> codexThreadLink(const QString &threadID);

// "codex://new?path=<folder>": the link that starts a new Codex chat in `folder`. The path is
// percent-encoded except for its slashes ("/a b" becomes "/a%20b"); every character a handler
// could read as a delimiter, or as a space ("+"), is encoded too. None for an empty folder.
std::optional<QUrl> codexNewChatLink(const QString &folder);

} // namespace tolvaran
