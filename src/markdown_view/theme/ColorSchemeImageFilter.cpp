#include "markdown_view/theme/ColorSchemeImageFilter.h"

#include <QUrl>

namespace tolvaran::markdown {

namespace {

bool anyImageHidden(const QList<InlineNode> &nodes, ColorScheme scheme)
{
    for (const InlineNode &node : nodes) {
        if (const auto *image = node.as<InlineNode::Image>();
            image && !imageSourceMatches(image->source, scheme))
            return true;
        if (anyImageHidden(node.children(), scheme))
            return true;
    }
    return false;
}

bool anyImageHidden(const QList<BlockNode> &blocks, ColorScheme scheme)
{
    for (const BlockNode &block : blocks) {
        if (const auto *paragraph = block.as<BlockNode::Paragraph>()) {
            if (anyImageHidden(paragraph->content, scheme))
                return true;
        } else if (const auto *heading = block.as<BlockNode::Heading>()) {
            if (anyImageHidden(heading->content, scheme))
                return true;
        } else if (const auto *table = block.as<BlockNode::Table>()) {
            for (const RawTableRow &row : table->rows) {
                for (const RawTableCell &cell : row.cells) {
                    if (anyImageHidden(cell.content, scheme))
                        return true;
                }
            }
        } else if (anyImageHidden(block.children(), scheme)) {
            return true;
        }
    }
    return false;
}

} // namespace

bool imageSourceMatches(const QString &source, ColorScheme scheme)
{
    const QUrl url(source, QUrl::StrictMode);
    if (!url.isValid())
        return false;
    if (!url.hasFragment())
        return true;
    const QString fragment = url.fragment().toLower();
    if (scheme == ColorScheme::light)
        return fragment != QLatin1String("gh-dark-mode-only");
    return fragment != QLatin1String("gh-light-mode-only");
}

QList<BlockNode> filterImagesMatching(const QList<BlockNode> &blocks, ColorScheme scheme)
{
    if (!anyImageHidden(blocks, scheme))
        return blocks;
    return rewrite(blocks, [scheme](const InlineNode &node) -> QList<InlineNode> {
        const auto *image = node.as<InlineNode::Image>();
        if (image && !imageSourceMatches(image->source, scheme))
            return {};
        return {node};
    });
}

} // namespace tolvaran::markdown
