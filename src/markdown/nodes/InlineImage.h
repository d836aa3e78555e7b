#pragma once

#include "markdown/InlineContent.h"
#include "markdown/nodes/InlineNode.h"

#include <QList>
#include <QString>
#include <QUrl>

namespace tolvaran::markdown {

// An image placed into inline content built in code: the image node of `source` (the URL's
// whole text) with its description.
class InlineImage final : public InlineContentProtocol
{
public:
    explicit InlineImage(const QUrl &url);
    InlineImage(const QString &text, const QUrl &url);

    InlineContent inlineContent() const override;

    QString source;
    QList<InlineNode> content; // the description
};

} // namespace tolvaran::markdown
