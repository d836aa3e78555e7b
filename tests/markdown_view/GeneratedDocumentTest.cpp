#include "RenderedText.h"

#include "markdown/MarkdownParser.h"
#include "markdown_view/MarkdownView.h"
#include "support/MarkdownDocumentGenerator.h"
#include "support/QtPrinters.h"

#include <QApplication>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace tolvaran::markdown;
using namespace tolvaran::markdown::testing;
namespace generator = tolvaran::fixtures::markdown;

// Over generated documents that mix every block and inline kind, every word of the source
// reaches the rendered text exactly once, in reading order.
TEST(GeneratedDocuments, everyWordIsRenderedOnceInOrder)
{
    static const QRegularExpression word(QStringLiteral("w\\d{6}"));
    for (quint32 seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        const generator::GeneratedDocument document = generator::mixedDocument(seed, 30);
        DocumentLayout layout(parseMarkdown(document.markdown),
                              MarkdownView::rootContext(Theme::basic(), {},
                                                        QApplication::palette()));
        layout.setWidth(700);
        layout.layoutAll();
        QStringList shown;
        const QString rendered = renderedTexts(layout).join(QLatin1Char('\n'));
        for (const QRegularExpressionMatch &match : word.globalMatch(rendered))
            shown.append(match.captured());
        EXPECT_EQ(shown, document.words) << document.markdown.toStdString();
        if (shown != document.words)
            break;
    }
}
