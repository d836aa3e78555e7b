#include "RenderedText.h"

#include "markdown/MarkdownParser.h"
#include "markdown_view/theme/CodeSyntaxHighlighter.h"
#include "markdown_view/MarkdownView.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

using namespace tolvaran::markdown;
using namespace tolvaran::markdown::testing;

namespace {

constexpr int viewWidth = 600;
constexpr int viewHeight = 400;

struct ShownCode
{
    std::unique_ptr<DocumentLayout> layout;
    const CodeTextItem *code = nullptr;
};

// The document laid out and its first screen painted.
ShownCode show(const QString &markdown)
{
    ShownCode shown;
    shown.layout = std::make_unique<DocumentLayout>(
        parseMarkdown(markdown),
        MarkdownView::rootContext(Theme::basic(), {}, QApplication::palette()));
    shown.layout->setWidth(viewWidth);
    shown.layout->layoutThrough(viewHeight);
    QImage image(viewWidth, viewHeight, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    shown.layout->paint(painter, QApplication::palette(), QRectF(0, 0, viewWidth, viewHeight));
    const auto codes = placedOfType<CodeTextItem>(*shown.layout);
    EXPECT_EQ(codes.size(), 1);
    shown.code = codes.value(0).first;
    return shown;
}

} // namespace

TEST(CodeBlocks, showTheirTextWithoutTheFinalLineBreak)
{
    const auto fenced = show("```sh\n  indented\n\n*not em*\n\n```\n");
    ASSERT_NE(fenced.code, nullptr);
    EXPECT_EQ(fenced.code->text(), "  indented\n\n*not em*\n"); // one line break less
    EXPECT_EQ(fenced.code->lineCount(), 4);
    const auto indented = show("    indented code\n");
    ASSERT_NE(indented.code, nullptr);
    EXPECT_EQ(indented.code->text(), "indented code");
}

// A million characters of code: all of it is the block's text, only the lines in view are
// laid out, and the block is as tall as all its lines.
TEST(CodeBlocks, aMillionCharactersLayOutOnlyWhatIsInView)
{
    const QString line = QStringLiteral("int value = compute(argument); // a comment\n");
    QString code;
    while (code.size() < 1'000'000)
        code += line;
    const auto shown = show("```\n" + code + "```\n");
    ASSERT_NE(shown.code, nullptr);
    EXPECT_EQ(shown.code->text(), code.chopped(1));
    EXPECT_LT(shown.code->laidOutPieceCount(), 100);
    EXPECT_GT(shown.code->size().height(), shown.code->lineCount() * 10);
}

// A line of 100,000 characters is laid out in pieces from its start as far as the view
// reaches; scrolling sideways lays out more, and every character stays in the text.
TEST(CodeBlocks, aLongLineLaysOutAsFarAsTheViewReaches)
{
    QString line;
    for (int index = 0; line.size() < 100'000; ++index)
        line += QStringLiteral("token%1 ").arg(index);
    const auto shown = show("```\n" + line + "\n```\n");
    ASSERT_NE(shown.code, nullptr);
    EXPECT_EQ(shown.code->text(), line);
    const qsizetype firstScreen = shown.code->laidOutPieceCount();
    EXPECT_LE(firstScreen, 2);
    EXPECT_GT(shown.code->size().width(), viewWidth * 10);

    auto *code = const_cast<CodeTextItem *>(shown.code);
    const int far = code->positionAt(QPointF(viewWidth * 60, 1));
    EXPECT_GT(far, 2 * CodeTextItem::pieceLength);
    EXPECT_GT(code->laidOutPieceCount(), firstScreen);
}

// A sideways wheel over a code block wider than the view scrolls that block, not the page.
TEST(CodeBlocks, wideCodeScrollsSideways)
{
    MarkdownView view;
    view.resize(300, 200);
    view.setContent(MarkdownContent("```\n" + QString(2000, QLatin1Char('x')) + "\n```\n"));
    const auto scrolls = placedOfType<HorizontalScrollItem>(*view.documentLayout());
    ASSERT_EQ(scrolls.size(), 1);
    const QPointF inside = scrolls.first().second + QPointF(10, 5);
    QWheelEvent wheel(inside, view.viewport()->mapToGlobal(inside), QPoint(), QPoint(-240, 0),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &wheel);
    EXPECT_GT(scrolls.first().first->offset(), 0);
}

namespace {

QPoint viewportPoint(const QPointF &point)
{
    return point.toPoint();
}

void sendWheel(MarkdownView &view, const QPointF &at, QPoint angle)
{
    QWheelEvent wheel(at, view.viewport()->mapToGlobal(at), QPoint(), angle, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &wheel);
}

// The share of the pixels of `rect` in `image` that differ from `colour`.
qreal differingShare(const QImage &image, const QRect &rect, QRgb colour)
{
    int differing = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x)
            differing += image.pixel(x, y) != colour ? 1 : 0;
    }
    return qreal(differing) / qreal(rect.width() * rect.height());
}

} // namespace

// A code block with a line wider than its box shows a scroll bar below the code, inside the
// box; one whose lines fit shows none. The bar is drawn, dragged and scrolled with the wheel,
// while the wheel over the code itself still scrolls the document.
TEST(CodeBlocks, aLongLineShowsAScrollBarThatScrollsTheCode)
{
    MarkdownView view;
    view.resize(400, 300);
    view.setTheme(Theme::gitHub());
    QString markdown = QStringLiteral("```\nshort\n```\n\n```\nlet wide = \"%1\";\nok\n```\n")
                           .arg(QString(300, QLatin1Char('x')));
    for (int paragraph = 0; paragraph < 40; ++paragraph)
        markdown += QStringLiteral("\nParagraph %1.\n").arg(paragraph);
    view.setContent(MarkdownContent(markdown));
    view.show();
    const auto scrolls = placedOfType<HorizontalScrollItem>(*view.documentLayout());
    ASSERT_EQ(scrolls.size(), 2);
    const auto &[narrow, narrowOrigin] = scrolls[0];
    const auto &[wide, origin] = scrolls[1];
    EXPECT_TRUE(narrow->scrollBarRect().isEmpty());
    EXPECT_EQ(narrow->size().height(), narrow->children().front().item->size().height());
    ASSERT_FALSE(wide->scrollBarRect().isEmpty());
    EXPECT_GE(wide->scrollBarRect().top(), wide->children().front().item->size().height());
    EXPECT_LE(wide->scrollBarRect().bottom(), wide->size().height());

    // Visible: the thumb stands out from the grey box around it.
    const QImage shown = view.viewport()->grab().toImage();
    const QRectF thumb = wide->thumbRect().translated(origin);
    const QRgb box = shown.pixel(viewportPoint(origin + QPointF(2, 2)));
    EXPECT_GT(differingShare(shown, thumb.toAlignedRect().adjusted(1, 1, -1, -1), box), 0.9);

    // Dragged by its thumb.
    const QPointF grab = thumb.center();
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, viewportPoint(grab));
    const QPoint dropped = viewportPoint(grab + QPointF(60, 0));
    QMouseEvent move(QEvent::MouseMove, dropped, view.viewport()->mapToGlobal(dropped),
                     Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(view.viewport(), &move);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, dropped);
    const qreal dragged = wide->offset();
    EXPECT_GT(dragged, 60);
    EXPECT_NEAR(wide->thumbRect().left(), thumb.left() + 60, 1);

    // The wheel over the bar scrolls the code, over the code it scrolls the document.
    sendWheel(view, wide->scrollBarRect().translated(origin).center(), QPoint(0, -120));
    EXPECT_GT(wide->offset(), dragged);
    const qreal byBar = wide->offset();
    sendWheel(view, origin + QPointF(20, 10), QPoint(0, -120));
    EXPECT_EQ(wide->offset(), byBar);
    EXPECT_GT(view.verticalScrollBar()->value(), 0);
}

namespace {

// Colours every "int" and records the languages it was asked for.
class KeywordHighlighter final : public CodeSyntaxHighlighter
{
public:
    QList<QTextLayout::FormatRange> highlightCode(
        const QString &code, const std::optional<QString> &language) const override
    {
        languages.append(language.value_or(QStringLiteral("(none)")));
        QList<QTextLayout::FormatRange> ranges;
        QTextCharFormat keyword;
        keyword.setForeground(QColor(Qt::red));
        for (qsizetype at = code.indexOf(QLatin1String("int")); at >= 0;
             at = code.indexOf(QLatin1String("int"), at + 3))
            ranges.append({int(at), 3, keyword});
        return ranges;
    }
    mutable QStringList languages;
};

} // namespace

// The highlighter colours ranges over the code block's own font, in nested blocks too, and
// gets the fence's whole info string.
TEST(CodeBlocks, aHighlighterColoursRangesOverTheCodeFont)
{
    auto highlighter = std::make_shared<KeywordHighlighter>();
    MarkdownView view;
    view.resize(400, 300);
    view.setCodeSyntaxHighlighter(highlighter);
    view.setContent(MarkdownContent(
        QStringLiteral("```c++ extra\nint x; print(x)\n```\n\n> - ```\n>   int y\n>   ```\n")));
    const auto codes = placedOfType<CodeTextItem>(*view.documentLayout());
    ASSERT_EQ(codes.size(), 2);
    EXPECT_EQ(highlighter->languages, (QStringList{"c++ extra", "(none)"}));
    const CodeTextItem &code = *codes.first().first;
    EXPECT_EQ(code.text(), "int x; print(x)");
    EXPECT_EQ(code.formatAt(0).foreground().color(), QColor(Qt::red));
    EXPECT_NE(code.formatAt(5).foreground().color(), QColor(Qt::red));
    EXPECT_EQ(code.formatAt(0).font().family(), code.formatAt(5).font().family());
    EXPECT_EQ(codes[1].first->formatAt(0).foreground().color(), QColor(Qt::red));
}
