#include "RenderedText.h"

#include "markdown_view/MarkdownView.h"
#include "support/markdown/ManualRemoteImageLoader.h"
#include "support/WaitUntil.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace tolvaran::markdown;
using namespace tolvaran::markdown::testing;
using tolvaran::fixtures::waitUntil;

namespace {

// A window as an application has it: a field before the view and one after.
struct Window
{
    QWidget window;
    QLineEdit *before = new QLineEdit;
    MarkdownView *view = new MarkdownView;
    QLineEdit *after = new QLineEdit;
    QList<QUrl> opened;

    // Images come from `loader` when given: the default, shared loader would ask the network.
    explicit Window(const QString &markdown, RemoteImageLoader *loader = nullptr)
    {
        if (loader)
            view->setRemoteImageLoader(loader);
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(before);
        layout->addWidget(view);
        layout->addWidget(after);
        window.resize(500, 340);
        view->setLinkOpener([this](const QUrl &url) { opened.append(url); });
        view->setContent(MarkdownContent(markdown));
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        before->setFocus();
    }

    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }

    // Where the focus is in the view: the link's address or "code"; empty on the view itself.
    QString focus() const
    {
        const std::optional<FocusTarget> &target = view->focusTarget();
        if (!target)
            return {};
        return target->kind == FocusTarget::Kind::scroller ? QStringLiteral("code")
                                                           : target->url.toString();
    }
};

QString paragraphs(int count)
{
    QString text;
    for (int paragraph = 0; paragraph < count; ++paragraph)
        text += QStringLiteral("Paragraph %1 of the text.\n\n").arg(paragraph);
    return text;
}

} // namespace

// Tab comes into the view from the field before it and goes on, in reading order, to every
// link that opens (in text and around an image) and to a code block too wide for its box, then
// out to the field after it; Shift+Tab walks back from the last of them. Links that never open
// are passed by.
TEST(Keyboard, tabWalksTheLinksAndWideCodeInReadingOrder)
{
    tolvaran::fixtures::ManualRemoteImageLoader loader;
    Window window(QStringLiteral(
        "See [the guide](https://example.com/guide), [a script](javascript:alert(1)) and "
        "[mail](mailto:a@example.com).\n\n"
        "[![badge](https://example.com/badge.png)](https://example.com/ci)\n\n"
        "```\nshort\n```\n\n```\nwide %1\n```\n\n[last](https://example.com/last)\n")
                      .arg(QString(200, QLatin1Char('x'))),
                  &loader);
    ASSERT_EQ(loader.calls.size(), 1);
    loader.complete(0, QImage(QSize(80, 20), QImage::Format_ARGB32));
    ASSERT_TRUE(waitUntil([&] {
        const auto images = placedOfType<LabelledItem>(*window.view->documentLayout());
        return !images.isEmpty() && !images.first().first->size().isEmpty();
    }));

    window.press(Qt::Key_Tab);
    EXPECT_TRUE(window.view->hasFocus());
    EXPECT_EQ(window.focus(), QString());
    QStringList walked;
    for (int step = 0; step < 5; ++step) {
        window.press(Qt::Key_Tab);
        walked.append(window.focus());
    }
    EXPECT_EQ(walked, (QStringList{"https://example.com/guide", "mailto:a@example.com",
                                   "https://example.com/ci", "code",
                                   "https://example.com/last"}));
    window.press(Qt::Key_Tab);
    EXPECT_TRUE(window.after->hasFocus());

    window.press(Qt::Key_Backtab);
    EXPECT_TRUE(window.view->hasFocus());
    EXPECT_EQ(window.focus(), QStringLiteral("https://example.com/last"));
    window.press(Qt::Key_Backtab);
    EXPECT_EQ(window.focus(), QStringLiteral("code"));
}

// Return follows the link in focus; Left and Right scroll the code block in focus.
TEST(Keyboard, returnFollowsTheLinkAndArrowsScrollTheCodeInFocus)
{
    Window window(QStringLiteral("[the guide](https://example.com/guide)\n\n```\nwide %1\n```\n")
                      .arg(QString(300, QLatin1Char('x'))));
    window.press(Qt::Key_Tab);
    window.press(Qt::Key_Tab);
    window.press(Qt::Key_Return);
    EXPECT_EQ(window.opened, QList<QUrl>{QUrl("https://example.com/guide")});

    window.press(Qt::Key_Tab);
    ASSERT_EQ(window.focus(), QStringLiteral("code"));
    const auto *scroll = static_cast<const HorizontalScrollItem *>(
        window.view->focusTarget()->item);
    window.press(Qt::Key_Right);
    window.press(Qt::Key_Right);
    const qreal scrolled = scroll->offset();
    EXPECT_GT(scrolled, 0);
    window.press(Qt::Key_Left);
    EXPECT_LT(scroll->offset(), scrolled);
    window.press(Qt::Key_Return);
    EXPECT_EQ(window.opened.size(), 1) << "the code block is no link";
}

// The arrow and page keys, Home and End scroll the document; a link below what shows comes
// into view when Tab reaches it, with its frame drawn.
TEST(Keyboard, arrowAndPageKeysScrollAndTheLinkInFocusComesIntoView)
{
    Window window(paragraphs(80) + QStringLiteral("[far down](https://example.com/far)\n\n")
                  + paragraphs(20));
    QScrollBar &scroll = *window.view->verticalScrollBar();
    window.press(Qt::Key_Tab);
    window.press(Qt::Key_Down);
    EXPECT_EQ(scroll.value(), scroll.singleStep());
    window.press(Qt::Key_PageDown);
    EXPECT_EQ(scroll.value(), scroll.singleStep() + scroll.pageStep());
    window.press(Qt::Key_End);
    EXPECT_TRUE(window.view->documentLayout()->isComplete());
    EXPECT_EQ(scroll.value(), scroll.maximum());
    window.press(Qt::Key_Home);
    EXPECT_EQ(scroll.value(), 0);

    window.press(Qt::Key_Tab);
    ASSERT_EQ(window.focus(), QStringLiteral("https://example.com/far"));
    const QRectF link = window.view->focusTarget()->rects.first();
    EXPECT_GE(link.top(), scroll.value());
    EXPECT_LE(link.bottom(), scroll.value() + window.view->viewport()->height());
    QAccessibleInterface *focused =
        QAccessible::queryAccessibleInterface(window.view)->focusChild();
    ASSERT_NE(focused, nullptr);
    EXPECT_EQ(focused->text(QAccessible::Name), QStringLiteral("far down"));
    EXPECT_TRUE(focused->state().focused);

    // A frame in the highlight colour stands just left of the link.
    const QImage shown = window.view->viewport()->grab().toImage();
    const QColor highlight = window.view->palette().color(QPalette::Highlight);
    const int y = int(link.center().y()) - scroll.value();
    bool framed = false;
    for (int x = int(link.left()) - 5; x <= int(link.left()); ++x) {
        const QColor pixel = shown.pixelColor(std::max(0, x), y);
        framed = framed
                 || (std::abs(pixel.red() - highlight.red()) < 40
                     && std::abs(pixel.green() - highlight.green()) < 40
                     && std::abs(pixel.blue() - highlight.blue()) < 40);
    }
    EXPECT_TRUE(framed);
}

// Ctrl+A selects all the text, Ctrl+C copies it: blocks a blank line apart.
TEST(Keyboard, selectAllCopiesTheWholeDocument)
{
    Window window(QStringLiteral("# Title\n\nFirst *paragraph*.\n\n- one\n- two\n\n"
                                 "```\ncode\n```\n")
                  + paragraphs(200));
    window.view->setTextSelectionEnabled(true);
    window.press(Qt::Key_Tab);
    window.press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(window.view->isAllSelected());
    window.press(Qt::Key_C, Qt::ControlModifier);
    const QString copied = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(copied.startsWith(
        QStringLiteral("Title\n\nFirst paragraph.\n\none\ntwo\n\ncode\n\nParagraph 0 of the")))
        << copied.left(80).toStdString();
    EXPECT_TRUE(copied.endsWith(QStringLiteral("Paragraph 199 of the text.")));
}
