#include "RenderedText.h"

#include "markdown/MarkdownParser.h"
#include "markdown_view/MarkdownView.h"
#include "support/markdown/ManualRemoteImageLoader.h"
#include "support/markdown/MarkdownDocumentGenerator.h"
#include "support/QtPrinters.h"

#include <QApplication>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace tolvaran::markdown;
using namespace tolvaran::markdown::testing;
namespace generator = tolvaran::fixtures::markdown;

namespace {

// The texts of the items in reading order, images by their alternative text.
void collectReadable(const BlockItem &item, QStringList &result)
{
    if (const auto *text = dynamic_cast<const SelectableText *>(&item))
        result.append(text->text());
    else if (const auto *image = dynamic_cast<const LabelledItem *>(&item))
        result.append(image->accessibleName());
    for (const BlockItem::Child &child : item.children())
        collectReadable(*child.item, result);
}

} // namespace

// Over generated documents that mix every block and inline kind, every word of the source
// reaches the rendered text exactly once, in reading order.
TEST(GeneratedDocuments, everyWordIsRenderedOnceInOrder)
{
    static const QRegularExpression word(QStringLiteral("w\\d{6}"));
    for (quint32 seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        const generator::GeneratedDocument document = generator::mixedDocument(seed, 30);
        // The generated images are never fetched.
        tolvaran::fixtures::ManualRemoteImageLoader loader;
        StyleContext context =
            MarkdownView::rootContext(Theme::basic(), {}, QApplication::palette());
        context.remoteImageLoader = &loader;
        DocumentLayout layout(parseMarkdown(document.markdown), context);
        layout.setWidth(700);
        layout.layoutAll();
        QStringList shown;
        QStringList readable;
        for (qsizetype index = 0; index < layout.laidOutCount(); ++index)
            collectReadable(*layout.item(index), readable);
        const QString rendered = readable.join(QLatin1Char('\n'));
        for (const QRegularExpressionMatch &match : word.globalMatch(rendered))
            shown.append(match.captured());
        EXPECT_EQ(shown, document.words) << document.markdown.toStdString();
        if (shown != document.words)
            break;
    }
}
