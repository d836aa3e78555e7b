#pragma once

#include "markdown/InlineContent.h"

#include <QString>
#include <QUrl>

namespace tolvaran::markdown {

// A link built in code. The destination is the URL's whole text as the URL gives it (percent
// escapes and all), not the text it was typed as.
class InlineLink final : public InlineContentProtocol
{
public:
    // Linking `text` as one text node (never parsed as Markdown).
    InlineLink(const QString &text, const QUrl &url);
    InlineLink(const QUrl &url, InlineContent linkContent);

    InlineContent inlineContent() const override;

    QString destination;
    InlineContent content;
};

} // namespace tolvaran::markdown
