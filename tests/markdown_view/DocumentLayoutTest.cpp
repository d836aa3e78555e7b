#include "RenderedText.h"

#include "markdown/MarkdownParser.h"
#include "markdown_view/theme/CodeSyntaxHighlighter.h"
#include "markdown_view/InlineImageProvider.h"
#include "markdown_view/MarkdownView.h"
#include "support/HelperThreadKeep.h"
#include "support/markdown/ManualRemoteImageLoader.h"
#include "support/markdown/MarkdownDocumentGenerator.h"
#include "support/WaitUntil.h"
#include "work/ForEachSideBySide.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QTextLayout>
#include <QMutex>
#include <QPainter>
#include <QSet>
#include <QThread>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <thread>

using namespace tolvaran::markdown;
using namespace tolvaran::markdown::testing;
using tolvaran::fixtures::ManualRemoteImageLoader;
namespace generator = tolvaran::fixtures::markdown;

namespace {

constexpr qreal layoutWidth = 640;
// Enough blocks that a whole layout is shared among worker threads.
constexpr int manyBlocks = 400;
constexpr int paintedHeight = 3000;
constexpr int shortExpiryMilliseconds = 20;

// Records the threads it is called on; colours nothing.
class ThreadRecordingHighlighter final : public CodeSyntaxHighlighter
{
public:
    QList<QTextLayout::FormatRange> highlightCode(const QString &,
                                                  const std::optional<QString> &) const override
    {
        const QMutexLocker lock(&m_mutex);
        m_threads.insert(QThread::currentThread());
        return {};
    }
    QSet<QThread *> threads() const
    {
        const QMutexLocker lock(&m_mutex);
        return m_threads;
    }

private:
    mutable QMutex m_mutex;
    mutable QSet<QThread *> m_threads;
};

// Records the thread of every context an inline image is asked for in; never answers.
class ThreadRecordingInlineImages final : public InlineImageProvider
{
public:
    void image(const QUrl &, const QString &, const QUrl &, QObject *context,
               Completion) const override
    {
        const QMutexLocker lock(&m_mutex);
        m_threads.append(context ? context->thread() : nullptr);
    }
    QList<QThread *> threads() const
    {
        const QMutexLocker lock(&m_mutex);
        return m_threads;
    }

private:
    mutable QMutex m_mutex;
    mutable QList<QThread *> m_threads;
};

struct Recorders
{
    ManualRemoteImageLoader loader;
    std::shared_ptr<ThreadRecordingHighlighter> highlighter =
        std::make_shared<ThreadRecordingHighlighter>();
    std::shared_ptr<ThreadRecordingInlineImages> inlineImages =
        std::make_shared<ThreadRecordingInlineImages>();

    std::unique_ptr<DocumentLayout> layout(const QString &markdown, bool withHighlighter)
    {
        StyleContext context =
            MarkdownView::rootContext(Theme::basic(), {}, QApplication::palette());
        context.remoteImageLoader = &loader;
        context.inlineImageProvider = inlineImages;
        if (withHighlighter)
            context.codeSyntaxHighlighter = highlighter;
        auto result = std::make_unique<DocumentLayout>(parseMarkdown(markdown), context);
        result->setWidth(layoutWidth);
        return result;
    }
};

// The top of the laid-out document, painted.
QImage painted(DocumentLayout &layout)
{
    QImage image(int(layoutWidth), paintedHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    layout.paint(painter, QApplication::palette(), QRectF(0, 0, layoutWidth, paintedHeight));
    return image;
}

QList<QRectF> frames(const DocumentLayout &layout)
{
    QList<QRectF> result;
    for (qsizetype index = 0; index < layout.laidOutCount(); ++index)
        result.append(layout.blockFrame(index));
    return result;
}

// Inline images among the generated document's blocks, so some blocks must stay on the GUI
// thread between blocks that need not.
QString withInlineImages(const QString &markdown)
{
    QString result;
    int paragraph = 0;
    for (const QString &block : markdown.split(QStringLiteral("\n\n"))) {
        result += block;
        if (++paragraph % 7 == 0)
            result += QStringLiteral("\n\nSee ![icon %1](icons/%1.png) here.").arg(paragraph);
        result += QStringLiteral("\n\n");
    }
    return result;
}

} // namespace

// A whole layout (blocks built and laid out on several threads) places every block exactly
// where laying the blocks out one at a time on this thread does, with the same text, and
// paints the same; again after the width changes.
TEST(DocumentLayoutThreads, wholeLayoutMatchesOneBlockAtATime)
{
    for (quint32 seed = 1; seed <= 3; ++seed) {
        SCOPED_TRACE(seed);
        const QString markdown =
            withInlineImages(generator::mixedDocument(seed, manyBlocks).markdown);
        Recorders together;
        Recorders alone;
        auto whole = together.layout(markdown, false);
        auto stepwise = alone.layout(markdown, false);
        whole->layoutAll();
        while (!stepwise->isComplete())
            stepwise->layoutMore(1);
        ASSERT_GT(whole->blockCount(), manyBlocks / 2);
        EXPECT_EQ(frames(*whole), frames(*stepwise));
        EXPECT_EQ(renderedTexts(*whole), renderedTexts(*stepwise));
        EXPECT_EQ(whole->height(), stepwise->height());
        EXPECT_EQ(painted(*whole), painted(*stepwise));

        whole->setWidth(layoutWidth / 2);
        stepwise->setWidth(layoutWidth / 2);
        whole->layoutAll();
        while (!stepwise->isComplete())
            stepwise->layoutMore(1);
        EXPECT_EQ(frames(*whole), frames(*stepwise));
    }
}

// What must live on the GUI thread is made there however the blocks are shared out: the
// objects image loads are tied to (block images and images inside text), and the calls of
// a host's code highlighter, which need not be thread-safe.
TEST(DocumentLayoutThreads, imagesAndHostHighlighterStayOnTheGuiThread)
{
    const QString markdown =
        withInlineImages(generator::mixedDocument(11, manyBlocks).markdown)
        + QStringLiteral("```cpp\nint main() {}\n```\n");
    Recorders recorders;
    auto layout = recorders.layout(markdown, true);
    layout->layoutAll();
    QThread *gui = QApplication::instance()->thread();

    ASSERT_FALSE(recorders.loader.calls.isEmpty());
    for (const ManualRemoteImageLoader::Call &call : recorders.loader.calls) {
        ASSERT_TRUE(call.context);
        EXPECT_EQ(call.context->thread(), gui) << call.url.toString().toStdString();
    }
    const QList<QThread *> inlineThreads = recorders.inlineImages->threads();
    ASSERT_FALSE(inlineThreads.isEmpty());
    EXPECT_EQ(QSet<QThread *>(inlineThreads.begin(), inlineThreads.end()),
              QSet<QThread *>{gui});
    EXPECT_EQ(recorders.highlighter->threads(), QSet<QThread *>{gui});
}

// Worker threads that end while the program runs (the pool lets idle threads go) take what
// they kept for laying out with them, fonts included, without harm to later layouts.
TEST(DocumentLayoutThreads, workersThatEndLeaveLaterLayoutsWhole)
{
    QThreadPool *pool = &tolvaran::Internal::sideBySideHelpers();
    const int expiry = pool->expiryTimeout();
    pool->setExpiryTimeout(shortExpiryMilliseconds);
    const QString markdown = generator::mixedDocument(5, manyBlocks).markdown;
    QList<QRectF> first;
    for (int round = 0; round < 2; ++round) {
        Recorders recorders;
        auto layout = recorders.layout(markdown, false);
        layout->layoutAll();
        if (round == 0)
            first = frames(*layout);
        else
            EXPECT_EQ(frames(*layout), first);
        layout.reset();
        // Long enough for every idle worker to end.
        QThread::msleep(shortExpiryMilliseconds * 10);
    }
    pool->setExpiryTimeout(expiry);
}

// Each helper keeps fonts of its own for the text it laid out: a document laid out to its
// end lets the helpers go, and their fonts with them.
TEST(DocumentLayoutThreads, aLayoutThatReachesTheEndLetsItsHelpersGo)
{
    // A layout of an earlier test that reached its end may still be letting its helpers go,
    // on a worker: it would take the one that keeps one here with them.
    ASSERT_TRUE(QThreadPool::globalInstance()->waitForDone(
        int(tolvaran::fixtures::outcomeDeadline.count())));
    ASSERT_TRUE(tolvaran::fixtures::keepOnAHelper());
    const int keptOnHelpers = tolvaran::fixtures::keptOnThreads() - 1;
    ASSERT_GT(keptOnHelpers, 0);
    Recorders recorders;
    auto layout = recorders.layout(generator::mixedDocument(3, manyBlocks).markdown, false);
    layout->layoutMore(4 * 32);
    ASSERT_FALSE(layout->isComplete());
    EXPECT_EQ(tolvaran::fixtures::keptOnThreads(), keptOnHelpers + 1); // still at work

    layout->layoutAll();
    // Let go on a worker thread, shortly after.
    EXPECT_TRUE(tolvaran::fixtures::waitUntil(
        [] { return tolvaran::fixtures::keptOnThreads() == 1; }))
        << tolvaran::fixtures::keptOnThreads();
}

namespace {

std::unique_ptr<TextItem> newPlainItem(const QString &text, int pixelSize, qreal lineSpacing = 0)
{
    QFont font = QApplication::font();
    font.setPixelSize(pixelSize);
    QTextCharFormat format;
    format.setFont(font, QTextCharFormat::FontPropertiesAll);
    AttributedText attributed;
    attributed.append(text, format);
    TextItem::Options options;
    options.font = font;
    options.lineSpacing = lineSpacing;
    return std::make_unique<TextItem>(attributed, options);
}

TextItem plainItem(const QString &text, int pixelSize, qreal lineSpacing = 0)
{
    const std::unique_ptr<TextItem> item = newPlainItem(text, pixelSize, lineSpacing);
    return TextItem(item->attributedText(), item->options());
}

} // namespace

// Text measured where it did not have to wrap keeps that size at any width it fits, and
// wraps again below it; new text is measured afresh.
TEST(TextMeasurement, unwrappedSizeHoldsOnlyWhereTheTextFits)
{
    TextItem item = plainItem(
        QStringLiteral("several words that make one line when nothing wraps them"), 14);
    const QSizeF natural = item.layout(unboundedWidth);
    ASSERT_GT(natural.width(), 0);
    EXPECT_EQ(item.layout(natural.width()), natural);
    EXPECT_EQ(item.layout(natural.width() + 50), natural);
    const QSizeF narrow = item.layout(natural.width() / 3);
    EXPECT_GT(narrow.height(), natural.height());
    EXPECT_LE(narrow.width(), std::ceil(natural.width() / 3));
    AttributedText longer = item.attributedText();
    longer.append(QStringLiteral(" and a good many more words after them"),
                  longer.formats.first().format);
    item.setAttributedText(longer);
    EXPECT_GT(item.layout(natural.width() + 60).height(), natural.height());
}

// Short runs are remembered by text, font and line spacing: the same words in another size
// or spacing measure anew, and a run remembered from a wide line still wraps when narrow.
TEST(TextMeasurement, shortRunsAreTellApartByFontAndSpacing)
{
    const QString words = QStringLiteral("short words");
    TextItem small = plainItem(words, 12);
    TextItem large = plainItem(words, 24);
    const QSizeF smallSize = small.layout(layoutWidth);
    const QSizeF largeSize = large.layout(layoutWidth);
    EXPECT_GT(largeSize.width(), smallSize.width());
    EXPECT_GT(largeSize.height(), smallSize.height());

    TextItem again = plainItem(words, 12);
    EXPECT_EQ(again.layout(layoutWidth), smallSize);
    TextItem narrow = plainItem(words, 12);
    EXPECT_GT(narrow.layout(smallSize.width() / 2).height(), smallSize.height());

    const QString lines = QStringLiteral("one\ntwo");
    TextItem tight = plainItem(lines, 12);
    TextItem spaced = plainItem(lines, 12, 10);
    EXPECT_EQ(spaced.layout(layoutWidth).height(), tight.layout(layoutWidth).height() + 10);
}

namespace {

// The rectangle of the first line of the link in `item` whose text is `text`.
QRectF linkLine(const TextItem &item, const QString &text)
{
    for (const TextItem::Link &link : item.links()) {
        if (link.text == text)
            return link.rect;
    }
    ADD_FAILURE() << "no link " << text.toStdString();
    return {};
}

} // namespace

// A word of a megabyte (a minified line) fills line after line of the width, in a time that
// grows with its length (measured on a worker thread, with a deadline that only a layout
// costing the square of the length misses), and the words after a long word wrap at their
// boundaries again.
TEST(TextMeasurement, longWordsBreakAnywhereAndTheWordsAfterThemStayWhole)
{
    const QString megabyte(1024 * 1024, QLatin1Char('a'));
    std::shared_ptr<TextItem> word = newPlainItem(megabyte, 14);
    auto size = std::make_shared<std::promise<QSizeF>>();
    std::future<QSizeF> laidOut = size->get_future();
    std::thread([word, size] { size->set_value(word->layout(layoutWidth)); }).detach();
    ASSERT_EQ(laidOut.wait_for(tolvaran::fixtures::outcomeDeadline), std::future_status::ready);

    // As tall as the same letters broken anywhere: every line holds what the width takes.
    QTextLayout anywhere(megabyte, word->options().font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAnywhere);
    anywhere.setTextOption(option);
    anywhere.beginLayout();
    qreal bottom = 0;
    for (QTextLine line = anywhere.createLine(); line.isValid(); line = anywhere.createLine()) {
        line.setLineWidth(layoutWidth);
        line.setPosition(QPointF(0, bottom));
        bottom += line.height();
    }
    anywhere.endLayout();
    EXPECT_LE(laidOut.get().width(), layoutWidth);
    EXPECT_EQ(word->size().height(), std::ceil(bottom));

    const auto layout = [](const QString &markdown, qreal width) {
        auto result = std::make_unique<DocumentLayout>(
            parseMarkdown(markdown),
            MarkdownView::rootContext(Theme::basic(), {}, QApplication::palette()));
        result->setWidth(width);
        result->layoutAll();
        return result;
    };
    const QString tail = QStringLiteral(" [after](https://example.com/a) the long word come "
                                        "[several](https://example.com/b) words");
    const auto shown = layout(QString(5000, QLatin1Char('b')) + tail, 300);
    const auto alone = layout(QStringLiteral("x") + tail, 300);
    const TextItem *text = placedOfType<TextItem>(*shown).first().first;
    const TextItem *reference = placedOfType<TextItem>(*alone).first().first;
    for (const QString &link : {QStringLiteral("after"), QStringLiteral("several")}) {
        EXPECT_EQ(linkLine(*text, link).width(), linkLine(*reference, link).width())
            << link.toStdString() << " is broken";
    }
}
