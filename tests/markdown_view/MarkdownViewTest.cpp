#include "RenderedText.h"

#include "markdown/MarkdownParser.h"
#include "markdown_view/MarkdownView.h"
#include "support/markdown/ManualRemoteImageLoader.h"
#include "support/QtPrinters.h"
#include "support/WaitUntil.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <latch>
#include <memory>

using namespace tolvaran::markdown;
using tolvaran::fixtures::waitUntil;

namespace tolvaran::markdown {

// A parse that waits, once it has begun, until the test releases it.
struct HeldParse
{
    void release()
    {
        if (!released.try_wait())
            released.count_down();
    }

    std::latch entered{1};
    std::latch released{1};
};

class MarkdownViewTesting
{
public:
    // The view's parses wait at `held` (which they keep while they run).
    static void holdParse(MarkdownView &view, std::shared_ptr<HeldParse> held)
    {
        view.m_parser = [held = std::move(held)](const QString &markdown) {
            held->entered.count_down();
            held->released.wait();
            return parseMarkdown(markdown);
        };
    }
};

} // namespace tolvaran::markdown

TEST(MarkdownView, imageBaseUrlFallsBackToTheBaseUrl)
{
    MarkdownView view;
    const QUrl base(QStringLiteral("https://example.com/docs/"));
    view.setContent(MarkdownContent(QStringLiteral("text")), base);
    EXPECT_EQ(view.baseURL(), base);
    EXPECT_EQ(view.imageBaseURL(), base);
    EXPECT_EQ(view.documentLayout()->context().imageBaseURL, base);

    const QUrl images(QStringLiteral("https://cdn.example.com/"));
    view.setContent(MarkdownContent(QStringLiteral("text")), base, images);
    EXPECT_EQ(view.imageBaseURL(), images);

    view.setContent(MarkdownContent(QStringLiteral("text")));
    EXPECT_FALSE(view.baseURL().has_value());
    EXPECT_FALSE(view.imageBaseURL().has_value());
}

TEST(MarkdownView, parsesOffTheGuiThreadAndShowsTheLatestText)
{
    MarkdownView view;
    view.resize(400, 300);
    view.setMarkdown(QStringLiteral("# first"));
    view.setMarkdown(QStringLiteral("second\n\nthird"));
    EXPECT_TRUE(view.isParsing());
    ASSERT_TRUE(waitUntil([&] { return !view.isParsing(); }));
    ASSERT_NE(view.documentLayout(), nullptr);
    EXPECT_EQ(view.content().blocks().size(), 2);
    EXPECT_GT(view.documentLayout()->laidOutCount(), 0);
}

TEST(MarkdownView, aViewDestroyedWhileParsingReceivesNothing)
{
    // The gone view's parse runs while the view lives and ends after it is destroyed; the kept
    // view's result is posted after the gone parse has returned, so once the kept view shows,
    // anything the gone parse had posted has run (under the sanitizers, a post to the
    // destroyed view would be a use after free).
    auto gone = std::make_shared<HeldParse>();
    auto kept = std::make_shared<HeldParse>();
    const std::weak_ptr<HeldParse> goneJob = gone;
    // A failed check must not leave a pool thread waiting for ever.
    const auto releaseAll = qScopeGuard([goneJob, kept] {
        if (const auto held = goneJob.lock())
            held->release();
        kept->release();
    });
    MarkdownView shown;
    QSignalSpy shownContent(&shown, &MarkdownView::contentShown);
    MarkdownViewTesting::holdParse(shown, kept);
    shown.setMarkdown(QStringLiteral("kept\n\nview"));
    {
        MarkdownView view;
        MarkdownViewTesting::holdParse(view, gone);
        view.setMarkdown(QStringLiteral("- item *one*\n- item *two*\n"));
        ASSERT_TRUE(waitUntil([&] { return gone->entered.try_wait(); }));
    }
    gone->release();
    gone.reset();
    // The job holds the last reference to its parser until it has returned.
    ASSERT_TRUE(waitUntil([&] { return goneJob.expired(); }));

    kept->release();
    ASSERT_TRUE(waitUntil([&] { return !shown.isParsing(); }));
    EXPECT_EQ(shownContent.count(), 1);
    EXPECT_EQ(shown.content().blocks().size(), 2);
}

namespace {

// Clicks every link of the view, in order, and returns what reached the opener.
QList<QUrl> clickEveryLink(MarkdownView &view)
{
    QList<QUrl> opened;
    view.setLinkOpener([&](const QUrl &url) { opened.append(url); });
    for (const auto &[text, origin] :
         tolvaran::markdown::testing::placedOfType<TextItem>(*view.documentLayout())) {
        for (const TextItem::Link &link : text->links()) {
            const QPoint point = (origin + link.rect.center()).toPoint();
            QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, point);
        }
    }
    return opened;
}

} // namespace

TEST(MarkdownView, linksOpenOnlyForWebAndMail)
{
    const MarkdownContent content(QStringLiteral(
        "[web](https://example.com/a) [script](javascript:alert(1)) [file](file:///etc/passwd)\n"
        "[relative](docs/b.md) [mail](mailto:a@example.com) [data](data:text/html,x)\n"));
    MarkdownView view;
    view.resize(800, 300);
    view.setContent(content);
    EXPECT_EQ(clickEveryLink(view),
              (QList<QUrl>{QUrl("https://example.com/a"), QUrl("mailto:a@example.com")}));

    view.setContent(content, QUrl("https://example.com/root/"));
    EXPECT_EQ(clickEveryLink(view),
              (QList<QUrl>{QUrl("https://example.com/a"),
                           QUrl("https://example.com/root/docs/b.md"),
                           QUrl("mailto:a@example.com")}));
}

TEST(MarkdownView, draggingSelectsTextOfOneItem)
{
    MarkdownView view;
    view.resize(600, 200);
    view.setTextSelectionEnabled(true);
    view.setContent(MarkdownContent(QStringLiteral("Selectable words here")));
    const auto texts =
        tolvaran::markdown::testing::placedOfType<TextItem>(*view.documentLayout());
    ASSERT_EQ(texts.size(), 1);
    const auto &[text, origin] = texts.first();
    const QPoint start = (origin + QPointF(1, text->size().height() / 2)).toPoint();
    const QPoint end = (origin + QPointF(text->size().width() - 1, text->size().height() / 2))
                           .toPoint();
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, start);
    QMouseEvent move(QEvent::MouseMove, end, view.viewport()->mapToGlobal(end), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(view.viewport(), &move);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, end);
    EXPECT_EQ(text->selectedText(), "Selectable words here");
}

// A change to a dark palette re-filters the images for the dark scheme and redraws in place.
TEST(MarkdownView, paletteChangesRefilterImagesAndKeepTheScrollPosition)
{
    QString text = QStringLiteral("![dark only](https://example.com/a.png#gh-dark-mode-only)\n\n");
    for (int paragraph = 0; paragraph < 200; ++paragraph)
        text += QStringLiteral("Paragraph %1.\n\n").arg(paragraph);
    tolvaran::fixtures::ManualRemoteImageLoader loader; // nothing is fetched
    MarkdownView view;
    view.setRemoteImageLoader(&loader);
    view.resize(400, 300);
    view.setContent(MarkdownContent(text));
    // The images as the view draws them, and as a screen reader reads them.
    const auto imageNames = [&] {
        QStringList names;
        for (const auto &[image, origin] :
             tolvaran::markdown::testing::placedOfType<LabelledItem>(*view.documentLayout())) {
            names.append(image->accessibleName());
        }
        QAccessibleInterface *first = QAccessible::queryAccessibleInterface(&view)->child(0);
        for (int index = 0; index < first->childCount(); ++index)
            names.append(first->child(index)->text(QAccessible::Name));
        return names;
    };
    EXPECT_TRUE(imageNames().isEmpty());

    view.verticalScrollBar()->setValue(200);
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x18, 0x19, 0x1D));
    dark.setColor(QPalette::WindowText, QColor(0xFB, 0xFB, 0xFC));
    view.setPalette(dark);
    EXPECT_EQ(view.documentLayout()->context().colorScheme, ColorScheme::dark);
    EXPECT_EQ(view.verticalScrollBar()->value(), 200);
    view.verticalScrollBar()->setValue(0);
    EXPECT_EQ(imageNames(), (QStringList{"dark only", "dark only"}));
}

// Every document says when its whole layout is done, once per layout: one that fits the first
// screen as well as one laid out in later turns of the event loop.
TEST(MarkdownView, layoutFinishedComesForEveryDocument)
{
    MarkdownView view;
    view.resize(400, 300);
    QSignalSpy finished(&view, &MarkdownView::layoutFinished);
    view.setContent(MarkdownContent(QStringLiteral("One line.")));
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));

    QString text;
    for (int paragraph = 0; paragraph < 2000; ++paragraph)
        text += QStringLiteral("Paragraph %1.\n\n").arg(paragraph);
    view.setMarkdown(text);
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 2; }));
    EXPECT_TRUE(view.documentLayout()->isComplete());
    tolvaran::fixtures::runQueuedWork();
    EXPECT_EQ(finished.count(), 2);
}

// A link whose scheme never opens keeps the link colour, but the pointer over it is no hand.
TEST(MarkdownView, onlyLinksThatOpenShowTheHand)
{
    MarkdownView view;
    view.resize(800, 300);
    view.setContent(MarkdownContent(QStringLiteral(
        "[web](https://example.com/a) [script](javascript:alert(1)) [file](file:///etc/passwd)"
        " [data](data:text/html,x) [mail](mailto:a@example.com)")));
    const auto texts =
        tolvaran::markdown::testing::placedOfType<TextItem>(*view.documentLayout());
    ASSERT_EQ(texts.size(), 1);
    const auto &[text, origin] = texts.first();
    QStringList hands;
    QList<QColor> colours;
    for (const TextItem::Link &link : text->links()) {
        const QPoint point = (origin + link.rect.center()).toPoint();
        QMouseEvent move(QEvent::MouseMove, point, view.viewport()->mapToGlobal(point),
                         Qt::NoButton, Qt::NoButton, {});
        QApplication::sendEvent(view.viewport(), &move);
        if (view.viewport()->cursor().shape() == Qt::PointingHandCursor)
            hands.append(link.text);
        for (const QTextLayout::FormatRange &range : text->attributedText().formats) {
            if (range.start == text->text().indexOf(link.text))
                colours.append(range.format.foreground().color());
        }
    }
    EXPECT_EQ(hands, (QStringList{"web", "mail"}));
    ASSERT_EQ(colours.size(), 5);
    for (const QColor &colour : colours)
        EXPECT_EQ(colour, colours.first());
}

namespace {

// The pixel size of every text of the view, in reading order.
QList<int> textPixelSizes(const MarkdownView &view)
{
    QList<int> sizes;
    for (const auto &[text, origin] :
         tolvaran::markdown::testing::placedOfType<TextItem>(*view.documentLayout()))
        sizes.append(text->attributedText().formats.first().format.font().pixelSize());
    return sizes;
}

// Sets the application font for the life of the value. Widgets hear of a change in the next
// turn of the event loop, which set() runs.
class ApplicationFont final
{
public:
    explicit ApplicationFont(qreal points) { set(points); }
    ~ApplicationFont()
    {
        QApplication::setFont(m_original);
        QApplication::processEvents();
    }
    ApplicationFont(const ApplicationFont &) = delete;
    ApplicationFont &operator=(const ApplicationFont &) = delete;

    static void set(qreal points)
    {
        QFont font = QApplication::font();
        font.setPointSizeF(points);
        QApplication::setFont(font);
        QApplication::processEvents();
    }

private:
    QFont m_original = QApplication::font();
};

} // namespace

// The theme's text sizes hold at Qt's own default application font (9 points); a larger
// desktop font scales every text size of the document with it, also once it is shown, and a
// theme without a text size starts from 13 pixels, scaled alike.
TEST(MarkdownView, textSizesScaleWithTheApplicationFont)
{
    const ApplicationFont font(9);
    MarkdownView view;
    view.resize(600, 300);
    view.setTheme(Theme::gitHub());
    view.setContent(MarkdownContent(QStringLiteral("# Title\n\nBody text")));
    EXPECT_EQ(textPixelSizes(view), (QList<int>{32, 16}));

    ApplicationFont::set(12); // 16 pixels at 96 dots an inch: a third larger
    EXPECT_EQ(textPixelSizes(view), (QList<int>{43, 21}));
    view.setTheme(Theme::basic());
    EXPECT_EQ(textPixelSizes(view), (QList<int>{35, 17}));

    ApplicationFont::set(9);
    EXPECT_EQ(textPixelSizes(view), (QList<int>{26, 13}));
}

// A long document shown keeps items only for the blocks near what shows; a selection holds on
// to its block's item, so it is still there after the reader scrolled far away and back.
TEST(MarkdownView, farBlocksDropTheirItemsButASelectionStays)
{
    QString text = QStringLiteral("Select these words.\n\n");
    for (int paragraph = 0; paragraph < 1500; ++paragraph)
        text += QStringLiteral("Paragraph %1 of many.\n\n").arg(paragraph);
    MarkdownView view;
    view.resize(500, 300);
    view.setTextSelectionEnabled(true);
    view.show();
    QSignalSpy finished(&view, &MarkdownView::layoutFinished);
    view.setContent(MarkdownContent(text));
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));

    const auto texts =
        tolvaran::markdown::testing::placedOfType<TextItem>(*view.documentLayout());
    ASSERT_FALSE(texts.isEmpty());
    const auto &[first, origin] = texts.first();
    const BlockItem *firstBlock = view.documentLayout()->item(0);
    const QPoint start = (origin + QPointF(2, first->size().height() / 2)).toPoint();
    const QPoint end = (origin + QPointF(first->size().width() - 2, first->size().height() / 2))
                           .toPoint();
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, start);
    QMouseEvent move(QEvent::MouseMove, end, view.viewport()->mapToGlobal(end), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(view.viewport(), &move);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, end);
    ASSERT_EQ(first->selectedText(), QStringLiteral("Select these words."));

    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
    view.viewport()->repaint();
    const DocumentLayout &layout = *view.documentLayout();
    qsizetype built = 0;
    for (qsizetype index = 0; index < layout.laidOutCount(); ++index)
        built += layout.item(index) ? 1 : 0;
    EXPECT_LT(built, layout.laidOutCount() / 4);
    EXPECT_EQ(layout.item(0), firstBlock);
    EXPECT_EQ(layout.item(1), nullptr);

    view.verticalScrollBar()->setValue(0);
    view.viewport()->repaint();
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Select these words."));
}
