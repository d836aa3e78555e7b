#pragma once

#include "markdown/nodes/InlineNode.h"
#include "markdown_view/theme/StyleContext.h"
#include "markdown_view/items/TextItem.h"
#include "markdown_view/View.h"

#include <QHash>
#include <QImage>
#include <QList>

namespace tolvaran::markdown {

// The inline text styles the renderers apply, from the theme in force.
struct InlineTextStyles
{
    TextStyle code;
    TextStyle emphasis;
    TextStyle strong;
    TextStyle strikethrough;
    TextStyle link;
};

// The text of inline nodes with their formatting: each run starts from the attributes the
// context's text style resolves to, then the style of every enclosing emphasis, strong,
// strikethrough and link from the outside in, then (for code) the code style. Links carry
// their destination resolved against the context's base URL (none when it is not a valid
// URL). Raw HTML shows as its source, except that a br tag is a line break. An image that
// stands directly among `inlines` shows at its size when `pictures` holds its source (as
// written); any other image shows nothing, not even its description. Where given, `starts`
// receives where the text of each of `inlines` begins in the result.
AttributedText renderInlines(const QList<InlineNode> &inlines, const StyleContext &context,
                            const QHash<QString, InlinePicture *> &pictures = {},
                            QList<int> *starts = nullptr);

// The inline nodes as one wrapped, selectable (where the context enables selection) text.
// Once laid out it loads the images that stand directly among the nodes (or alone in a link)
// through the context's inline image provider; they appear together when the last has
// arrived, and not at all when one fails. Meanwhile each stands where it will show
// (TextItem::pictures), and the provider hears whether the view shows that place. Each holds
// its pixels as a block picture does (InlinePicture), under the context's pixel budget.
View inlineText(QList<InlineNode> inlines);

// The destination of a link resolved against `baseURL`; none when it does not form a URL.
std::optional<QUrl> resolvedLink(const QString &destination, const std::optional<QUrl> &baseURL);

} // namespace tolvaran::markdown
