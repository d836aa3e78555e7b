#include "RenderedText.h"

#include "markdown/MarkdownParser.h"
#include "markdown_view/InlineImageProvider.h"
#include "markdown_view/items/InlineText.h"
#include "markdown_view/items/ListItemLayout.h"
#include "markdown_view/MarkdownView.h"
#include "support/QtPrinters.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace tolvaran::markdown;
using namespace tolvaran::markdown::testing;

namespace {

StyleContext context(std::optional<QUrl> baseURL = std::nullopt,
                     SoftBreakMode mode = SoftBreakMode::space)
{
    StyleContext result =
        MarkdownView::rootContext(Theme::basic(), {}, QApplication::palette());
    result.baseURL = std::move(baseURL);
    result.softBreakMode = mode;
    return result;
}

AttributedText rendered(const QString &markdown, const StyleContext &in = context())
{
    const QList<BlockNode> blocks = parseMarkdown(markdown);
    EXPECT_EQ(blocks.size(), 1);
    const auto *paragraph = blocks.isEmpty() ? nullptr : blocks[0].as<BlockNode::Paragraph>();
    return paragraph ? renderInlines(paragraph->content, in) : AttributedText();
}

// The format of the character at the first occurrence of `piece`.
QTextCharFormat formatOf(const AttributedText &text, const QString &piece)
{
    const qsizetype at = text.text.indexOf(piece);
    EXPECT_GE(at, 0) << piece.toStdString();
    for (const QTextLayout::FormatRange &range : text.formats) {
        if (at >= range.start && at < range.start + range.length)
            return range.format;
    }
    return {};
}

bool isMonospaced(const QTextCharFormat &format)
{
    FontProperties monospaced;
    monospaced.familyVariant = FontProperties::FamilyVariant::monospaced;
    return format.font().family() == monospaced.font().family();
}

} // namespace

TEST(InlineText, everyKindShowsItsTextWithItsStyle)
{
    const AttributedText text =
        rendered("plain *em* **strong** ~~struck~~ `code` [link](https://example.com/)");
    EXPECT_EQ(text.text, "plain em strong struck code link");
    EXPECT_FALSE(formatOf(text, "plain").fontItalic());
    EXPECT_TRUE(formatOf(text, "em").fontItalic());
    EXPECT_EQ(formatOf(text, "strong").fontWeight(), QFont::DemiBold);
    EXPECT_TRUE(formatOf(text, "struck").fontStrikeOut());
    EXPECT_TRUE(isMonospaced(formatOf(text, "code")));
    EXPECT_EQ(formatOf(text, "code").font().pixelSize(), 12); // 0.94 em of 13
    EXPECT_EQ(formatOf(text, "link").anchorHref(), "https://example.com/");
    EXPECT_FALSE(formatOf(text, "plain").isAnchor());
}

TEST(InlineText, stylesNestInsideLinksInnerLast)
{
    const AttributedText text =
        rendered("[a *b **c*** `d` e](https://example.com/x) after");
    EXPECT_EQ(text.text, "a b c d e after");
    for (const QString piece : {"a", "b", "c", "d", "e"})
        EXPECT_EQ(formatOf(text, piece).anchorHref(), "https://example.com/x")
            << piece.toStdString();
    EXPECT_TRUE(formatOf(text, "b").fontItalic());
    EXPECT_TRUE(formatOf(text, "c").fontItalic());
    EXPECT_EQ(formatOf(text, "c").fontWeight(), QFont::DemiBold);
    EXPECT_TRUE(isMonospaced(formatOf(text, "d")));
    EXPECT_EQ(formatOf(text, "d").foreground().color(),
              QApplication::palette().color(QPalette::Link));
    EXPECT_FALSE(formatOf(text, "after").isAnchor());
}

TEST(InlineText, codeSpansKeepBackticksAndMarkupLiterally)
{
    const AttributedText text = rendered("`` a ` b `` and `*not em*` and `<b>`");
    EXPECT_EQ(text.text, "a ` b and *not em* and <b>");
    EXPECT_FALSE(formatOf(text, "not em").fontItalic());
}

TEST(InlineText, linksResolveAgainstTheBaseUrl)
{
    const QUrl base(QStringLiteral("https://example.com/docs/"));
    const struct
    {
        const char *markdown;
        std::optional<QUrl> base;
        const char *href; // "" for no link
    } rows[] = {
        {"[r](guide/a.md)", base, "https://example.com/docs/guide/a.md"},
        {"[r](guide/a.md)", std::nullopt, "guide/a.md"},
        {"[r](https://other.org/)", base, "https://other.org/"},
        {"[r](<has space>)", base, ""},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.markdown);
        const QTextCharFormat format = formatOf(rendered(row.markdown, context(row.base)), "r");
        EXPECT_EQ(format.anchorHref(), QString::fromUtf8(row.href));
    }
}

TEST(InlineText, breaksAndHtml)
{
    const struct
    {
        const char *markdown;
        SoftBreakMode mode;
        const char *text;
    } rows[] = {
        {"a\nb", SoftBreakMode::space, "a b"},
        {"a\nb", SoftBreakMode::lineBreak, "a\nb"},
        {"a  \nb", SoftBreakMode::space, "a\nb"},
        {"a <span>b</span>", SoftBreakMode::space, "a <span>b</span>"},
        {"a<br> b", SoftBreakMode::space, "a\nb"},
        {"a<BR/>\nb", SoftBreakMode::space, "a\nb"},
        {"a<br>`  c` d", SoftBreakMode::space, "a\n  cd"},
        {"a ![image](i.png) b", SoftBreakMode::space, "a  b"},
        {"*a<br> b* c", SoftBreakMode::space, "a\nb c"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.markdown);
        EXPECT_EQ(rendered(row.markdown, context({}, row.mode)).text,
                  QString::fromUtf8(row.text));
    }
}

namespace {

// Answers at once with a red image for every URL but "missing.png", which fails: 30 by 40
// pixels, as tall as a name such as "h200.png" says, or of the size "160x200.png" says.
class FixedInlineImages final : public InlineImageProvider
{
public:
    void image(const QUrl &url, const QString &, const QUrl &, QObject *,
               Completion completion) const override
    {
        requested.append(url);
        if (url.fileName() == QLatin1String("missing.png")) {
            completion(std::nullopt);
            return;
        }
        const QString name = url.fileName().section(u'.', 0, 0);
        QSize size(30, name.startsWith(u'h') ? name.mid(1).toInt() : 40);
        if (name.contains(u'x'))
            size = QSize(name.section(u'x', 0, 0).toInt(), name.section(u'x', 1).toInt());
        QImage image(size, QImage::Format_ARGB32);
        image.fill(Qt::red);
        completion(image);
    }

    mutable QList<QUrl> requested;
};

} // namespace

TEST(InlineText, imagesAmongWordsTakeTheirSizeAndPaintWhereTheyStand)
{
    auto images = std::make_shared<FixedInlineImages>();
    StyleContext in = context();
    in.inlineImageProvider = images;
    in.imageBaseURL = QUrl(QStringLiteral("https://example.com/docs/"));

    const auto laidOutText = [&](const QString &markdown) {
        const QList<BlockNode> blocks = parseMarkdown(markdown);
        const auto *paragraph =
            blocks.isEmpty() ? nullptr : blocks[0].as<BlockNode::Paragraph>();
        if (!paragraph)
            throw std::runtime_error("the text did not parse as a paragraph");
        std::unique_ptr<BlockItem> item = inlineText(paragraph->content)(in);
        item->layout(500);
        return std::unique_ptr<TextItem>(static_cast<TextItem *>(item.release()));
    };

    const auto shown = laidOutText(QStringLiteral("before ![i](i.png) after"));
    ASSERT_EQ(images->requested.size(), 1);
    EXPECT_EQ(images->requested[0], QUrl(QStringLiteral("https://example.com/docs/i.png")));
    ASSERT_EQ(shown->attributedText().images.size(), 1);
    const int at = shown->attributedText().images[0].position;
    EXPECT_EQ(shown->text().left(at), QStringLiteral("before "));
    EXPECT_EQ(shown->text().mid(at + 1), QStringLiteral(" after"));
    EXPECT_GE(shown->size().height(), 40);

    QImage canvas(shown->size().toSize(), QImage::Format_ARGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    shown->paint({&painter, QApplication::palette(), QRectF(QPointF(), shown->size())}, {});
    painter.end();
    // The image stands after "before " on the baseline, and the rest of the line follows it.
    int left = -1;
    int right = -1;
    for (int x = 0; x < canvas.width(); ++x) {
        if (canvas.pixel(x, 20) == QColor(Qt::red).rgb()) {
            left = left < 0 ? x : left;
            right = x;
        }
    }
    EXPECT_GT(left, 20);
    EXPECT_NEAR(right - left + 1, 30, 1);
    EXPECT_LT(shown->positionAt(QPointF(left - 2, 5)), at + 1);
    EXPECT_GE(shown->positionAt(QPointF(right + 8, 5)), at + 1);
    // The words are drawn where the picture's line lays them out: "before" (no descenders)
    // ends on the picture's bottom row, a space before the picture.
    int pictureBottom = -1;
    int wordsBottom = -1;
    int wordsRight = -1;
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            const QColor pixel = canvas.pixelColor(x, y);
            if (pixel == Qt::red)
                pictureBottom = y;
            else if (x < left && pixel.lightness() < 128) {
                wordsBottom = y;
                wordsRight = std::max(wordsRight, x);
            }
        }
    }
    EXPECT_NEAR(wordsBottom, pictureBottom, 1);
    EXPECT_GE(left - wordsRight, QFontMetrics(shown->options().font).horizontalAdvance(u' ') - 1);

    // One failed image leaves every image out, and the text takes no room for them.
    const auto failed =
        laidOutText(QStringLiteral("a ![i](i.png) b ![m](missing.png) c"));
    EXPECT_TRUE(failed->attributedText().images.isEmpty());
    EXPECT_EQ(failed->text(), QStringLiteral("a  b  c"));

    // A tall image stands on the baseline: the line under it, or what follows the text,
    // starts where it would under a line of text, the image's height above that line's ascent
    // lower.
    const qreal ascent = QFontMetricsF(shown->options().font).ascent();
    for (const QString &after : {QStringLiteral("\\\nnext"), QString()}) {
        const qreal textLines = laidOutText(QStringLiteral("x") + after)->size().height();
        for (const int height : {20, 50, 200, 400}) {
            SCOPED_TRACE(height);
            const auto tall = laidOutText(QStringLiteral("x ![i](h%1.png)").arg(height) + after);
            ASSERT_EQ(tall->attributedText().images.size(), 1);
            EXPECT_NEAR(tall->size().height(), textLines + std::max<qreal>(0, height - ascent),
                        3);
        }
    }
}

namespace {

// `markdown` laid out at `width`, its pictures in lines of text from FixedInlineImages (laid
// out again once they arrived), and its text that shows a picture.
struct PictureDocument
{
    PictureDocument(const QString &markdown, qreal width)
    {
        StyleContext in = context();
        in.inlineImageProvider = std::make_shared<FixedInlineImages>();
        in.imageBaseURL = QUrl(QStringLiteral("https://example.com/"));
        layout = std::make_unique<DocumentLayout>(parseMarkdown(markdown), in);
        layout->setWidth(width);
        layout->layoutAll();
        layout->relayoutRequested();
        for (const auto &[item, at] : placedOfType<TextItem>(*layout)) {
            if (!item->attributedText().images.isEmpty())
                std::tie(text, origin) = std::pair(item, at);
        }
    }

    std::unique_ptr<DocumentLayout> layout;
    const TextItem *text = nullptr;
    QPointF origin;
};

// The bounds of the red pixels of the text painted (its pictures), or where `picture` is
// false, of its dark ones (its words), in columns [left, right).
QRect paintedBounds(const TextItem &text, bool picture, int left = 0, int right = 1 << 16)
{
    QImage canvas(text.size().toSize(), QImage::Format_ARGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    text.paint({&painter, QApplication::palette(), QRectF(QPointF(), text.size())}, {});
    QRect found;
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = std::max(0, left); x < std::min(right, canvas.width()); ++x) {
            const QColor pixel = canvas.pixelColor(x, y);
            const bool red = pixel == QColor(Qt::red);
            if (picture ? red : !red && pixel.lightness() < 128)
                found |= QRect(x, y, 1, 1);
        }
    }
    return found;
}

} // namespace

TEST(InlineText, aPictureThatWrapsAfterWordsLeavesTheirLineAsTallAsTheText)
{
    // Words and a picture 160 points wide do not fit 320 points: the picture goes to a line of
    // its own, and the words' line keeps a line of text's height, the words at its top.
    const QString words = QStringLiteral("Several words stand before it ![p](160x%1.png)");
    const QString cell = QStringLiteral("| Pictures |\n| --- |\n| %1 |").arg(words);
    for (const QString &markdown : {words, cell}) {
        for (const int height : {50, 200, 400}) {
            SCOPED_TRACE(markdown.arg(height).toStdString());
            const PictureDocument document(markdown.arg(height), 320);
            ASSERT_NE(document.text, nullptr);
            const TextItem &text = *document.text;
            const QFontMetricsF metrics(text.options().font);
            const QRectF wordsLine = text.lineRect(0);
            const QRectF pictureLine = text.lineRect(text.attributedText().images[0].position);
            ASSERT_GT(pictureLine.top(), wordsLine.top());
            EXPECT_NEAR(wordsLine.height(), metrics.height(), 1);
            EXPECT_NEAR(pictureLine.height(), height + metrics.descent(), 1.5);
            EXPECT_LT(paintedBounds(text, false).bottom(), metrics.height());
            EXPECT_GE(paintedBounds(text, true).top(), metrics.height() - 1);
        }
    }
}

TEST(InlineText, everyWordBesideAPictureIsDrawnWhateverControlCharactersTheTextHolds)
{
    // A carriage return, a paragraph or line separator, a next-line, a form feed, a vertical
    // tab and noncharacters among the words (text pasted from elsewhere, or references).
    for (const char *inserted :
         {"&#13;", "\u2029", "&#xFDD0;", "&#xFDD1;", "\u2028", "&#x85;", "&#12;", "&#11;"}) {
        SCOPED_TRACE(inserted);
        const PictureDocument document(
            QStringLiteral("Before %1 after ![p](i.png) words").arg(QString::fromUtf8(inserted)),
            500);
        ASSERT_NE(document.text, nullptr);
        const TextItem &text = *document.text;
        EXPECT_TRUE(text.text().endsWith(QStringLiteral(" after \u00a0 words")));
        // The picture is drawn, "after" before it and "words" after it.
        const QRect picture = paintedBounds(text, true);
        ASSERT_FALSE(picture.isEmpty());
        const QFontMetricsF metrics(text.options().font);
        const int space = int(metrics.horizontalAdvance(u' '));
        const int after = int(std::ceil(metrics.horizontalAdvance(QStringLiteral("after"))));
        EXPECT_FALSE(paintedBounds(text, false, picture.left() - space - after,
                                   picture.left() - space)
                         .isEmpty());
        EXPECT_FALSE(paintedBounds(text, false, picture.right() + space).isEmpty());
    }
}

TEST(InlineText, aListMarkerStandsOnTheBaselineOfAFirstLineHoldingATallPicture)
{
    for (const QString &markdown : {QStringLiteral("1. words ![p](h200.png)"),
                                    QStringLiteral("- words ![p](h200.png)")}) {
        SCOPED_TRACE(markdown.toStdString());
        const PictureDocument document(markdown, 500);
        ASSERT_NE(document.text, nullptr);
        const auto rows = placedOfType<ListRowItem>(*document.layout);
        ASSERT_EQ(rows.size(), 1);
        const BlockItem::Child &marker = rows[0].first->children().front();
        EXPECT_NEAR(rows[0].second.y() + marker.position.y() + marker.item->size().height(),
                    document.origin.y() + document.text->lineRect(0).bottom(), 1.5);
    }
}
