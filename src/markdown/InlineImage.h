#pragma once

#include "markdown/InlineNode.h"

#include <QList>
#include <QString>
#include <QUrl>

namespace tolvaran::markdown {

// An image placed into inline content built in code: the image node of `source` (the URL's
// whole text) with its description.
struct InlineImage
{
    QString source;
    QList<InlineNode> content; // the description

    explicit InlineImage(const QUrl &url);
    InlineImage(const QString &text, const QUrl &url);

    QList<InlineNode> inlines() const;
};

} // namespace tolvaran::markdown
