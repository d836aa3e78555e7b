#include "markdown_view/MarkdownView.h"
#include "markdown_view/theme/Color.h"
#include "support/markdown/TableDocuments.h"
#include "support/QtPrinters.h"
#include "support/widgets/DesktopBridge.h"

#include <QAccessible>
#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

using namespace tolvaran::markdown;

namespace {

const QString guide = QStringLiteral(
    "# Install guide\n\n"
    "Run the **installer** and read [the *notes*](https://example.com/notes).\n\n"
    "## Platforms\n\n"
    "| System | Support |\n|---|---|\n| Linux | Tier 1 |\n| Windows | Experimental |\n\n"
    "![A diagram of the flow](flow.png)\n\n"
    "- [x] done task\n- [ ] open task\n");

// A view showing `markdown`, its links collected instead of opened.
struct ShownDocument
{
    MarkdownView view;
    QList<QUrl> opened;

    explicit ShownDocument(const QString &markdown)
    {
        view.resize(600, 800);
        view.setLinkOpener([this](const QUrl &url) { opened.append(url); });
        view.setContent(MarkdownContent(markdown));
        view.show();
        view.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&view));
    }

    QAccessibleInterface *document() { return QAccessible::queryAccessibleInterface(&view); }
};

QString allText(QAccessibleInterface *interface)
{
    QAccessibleTextInterface *text = interface->textInterface();
    return text ? text->text(0, text->characterCount()) : QStringLiteral("(no text)");
}

} // namespace

// A screen reader reads the document through Qt's interfaces: its text in reading order, and
// its blocks: a heading with its level, a paragraph with its link (which it can follow), a
// table by row and column, an image by its alternative text, a task's check box.
TEST(Accessibility, aReaderReadsHeadingsParagraphsLinksAndTableCells)
{
    ShownDocument shown(guide);
    QAccessibleInterface *document = shown.document();
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->role(), QAccessible::Document);
    EXPECT_EQ(document->text(QAccessible::Name), QStringLiteral("Install guide"));
    EXPECT_EQ(allText(document),
              QStringLiteral("Install guide\nRun the installer and read the notes.\nPlatforms\n"
                             "System\nSupport\nLinux\nTier 1\nWindows\nExperimental\n"
                             "A diagram of the flow\ndone task\nopen task"));
    ASSERT_EQ(document->childCount(), 6);

    QAccessibleInterface *heading = document->child(0);
    EXPECT_EQ(heading->role(), QAccessible::Heading);
    EXPECT_EQ(heading->text(QAccessible::Name), QStringLiteral("Install guide"));
    EXPECT_EQ(heading->text(QAccessible::Description), QStringLiteral("Level 1"));
    EXPECT_EQ(document->child(2)->text(QAccessible::Description), QStringLiteral("Level 2"));
    const QRect viewRect(shown.view.mapToGlobal(QPoint()), shown.view.size());
    EXPECT_FALSE(heading->rect().isEmpty());
    EXPECT_TRUE(viewRect.contains(heading->rect()));

    QAccessibleInterface *paragraph = document->child(1);
    EXPECT_EQ(paragraph->role(), QAccessible::Paragraph);
    EXPECT_EQ(allText(paragraph), QStringLiteral("Run the installer and read the notes."));
    EXPECT_GT(heading->rect().bottom(), 0);
    EXPECT_LE(heading->rect().bottom(), paragraph->rect().top());
    ASSERT_EQ(paragraph->childCount(), 1);
    QAccessibleInterface *link = paragraph->child(0);
    EXPECT_EQ(link->role(), QAccessible::Link);
    EXPECT_EQ(link->text(QAccessible::Name), QStringLiteral("the notes"));
    EXPECT_TRUE(link->state().linked);
    EXPECT_EQ(link->parent(), paragraph);
    EXPECT_EQ(paragraph->indexOfChild(link), 0);
    EXPECT_TRUE(paragraph->rect().contains(link->rect())) << "the link shows in its paragraph";
    ASSERT_NE(link->actionInterface(), nullptr);
    ASSERT_EQ(link->actionInterface()->actionNames(),
              QStringList{QAccessibleActionInterface::pressAction()});
    link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(shown.opened, QList<QUrl>{QUrl("https://example.com/notes")});

    QAccessibleInterface *table = document->child(3);
    EXPECT_EQ(table->role(), QAccessible::Table);
    QAccessibleTableInterface *cells = table->tableInterface();
    ASSERT_NE(cells, nullptr);
    EXPECT_EQ(cells->rowCount(), 3); // the header row first
    EXPECT_EQ(cells->columnCount(), 2);
    EXPECT_EQ(cells->columnDescription(1), QStringLiteral("Support"));
    QAccessibleInterface *cell = cells->cellAt(2, 1);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->role(), QAccessible::Cell);
    EXPECT_EQ(cell->text(QAccessible::Name), QStringLiteral("Experimental"));
    EXPECT_EQ(allText(cell), QStringLiteral("Experimental"));
    QAccessibleTableCellInterface *place = cell->tableCellInterface();
    ASSERT_NE(place, nullptr);
    EXPECT_EQ(place->rowIndex(), 2);
    EXPECT_EQ(place->columnIndex(), 1);
    EXPECT_EQ(place->table(), table);
    ASSERT_EQ(place->columnHeaderCells().size(), 1);
    EXPECT_EQ(place->columnHeaderCells().first()->text(QAccessible::Name),
              QStringLiteral("Support"));
    EXPECT_EQ(cells->cellAt(1, 0)->text(QAccessible::Name), QStringLiteral("Linux"));

    QAccessibleInterface *image = document->child(4)->child(0);
    EXPECT_EQ(image->role(), QAccessible::Graphic);
    EXPECT_EQ(image->text(QAccessible::Name), QStringLiteral("A diagram of the flow"));

    QAccessibleInterface *list = document->child(5);
    EXPECT_EQ(list->role(), QAccessible::List);
    ASSERT_EQ(list->childCount(), 2);
    QAccessibleInterface *done = list->child(0)->child(0);
    EXPECT_EQ(done->role(), QAccessible::CheckBox);
    EXPECT_EQ(done->text(QAccessible::Name), QStringLiteral("done task"));
    EXPECT_TRUE(done->state().checked);
    EXPECT_FALSE(list->child(1)->child(0)->state().checked);
}

// A screen reader on the desktop reads a table through the bridge's calls: the header row is
// row 0, its cells lead the table's children and head their columns, and no row, column or
// child index a reader sends ends the program.
TEST(Accessibility, aTableAnswersTheCallsOfTheDesktopBridge)
{
    const struct
    {
        const char *name;
        QString markdown;
        int rows;
        QStringList headers;
    } cases[] = {
        {"a header and two rows",
         "| System | Support |\n|---|---|\n| Linux | Tier 1 |\n| Windows | Experimental |\n", 2,
         {"System", "Support"}},
        {"a row shorter than the header", "| Key | Value | Kind |\n|---|---|---|\n| k |\n", 1,
         {"Key", "Value", "Kind"}},
        {"a header alone", "| Key | Value |\n|---|---|\n", 0, {"Key", "Value"}},
    };
    for (const auto &row : cases) {
        SCOPED_TRACE(row.name);
        ShownDocument shown(row.markdown);
        QAccessibleInterface *table = shown.document()->child(0);
        ASSERT_NE(table, nullptr);
        QAccessibleTableInterface *cells = table->tableInterface();
        ASSERT_NE(cells, nullptr);
        const int columns = int(row.headers.size());
        EXPECT_EQ(cells->rowCount(), row.rows + 1);
        EXPECT_EQ(cells->columnCount(), columns);
        ASSERT_EQ(table->childCount(), (row.rows + 1) * columns);
        EXPECT_EQ(tolvaran::fixtures::desktopBridgeFaults(table), QStringList());
        for (int column = 0; column < columns; ++column) {
            EXPECT_EQ(cells->columnDescription(column), row.headers[column]);
            QAccessibleInterface *header = table->child(column);
            EXPECT_EQ(header->role(), QAccessible::ColumnHeader);
            EXPECT_EQ(header->text(QAccessible::Name), row.headers[column]);
            for (int at = 0; at <= row.rows; ++at) {
                QAccessibleTableCellInterface *cell =
                    cells->cellAt(at, column)->tableCellInterface();
                ASSERT_NE(cell, nullptr);
                EXPECT_EQ(cell->columnHeaderCells(), QList<QAccessibleInterface *>{header});
            }
        }
    }
}

namespace {

// The accessible nodes under `node`, depth first, as a reader walks them.
void collectNodes(QAccessibleInterface *node, QList<QAccessibleInterface *> &nodes)
{
    for (int index = 0; index < node->childCount(); ++index) {
        QAccessibleInterface *child = node->child(index);
        nodes.append(child);
        collectNodes(child, nodes);
    }
}

// Whether a reader reading `node` (its name, and the text of a text block) meets `text`.
bool reads(QAccessibleInterface *node, const QString &text)
{
    QAccessibleTextInterface *own = node->textInterface();
    return node->text(QAccessible::Name).contains(text)
           || (own && own->text(0, own->characterCount()).contains(text));
}

} // namespace

// A picture's alternative text is read where the picture (or its link) stands, a task's words
// where its check box stands: the paragraph, cell or task that holds them reads nothing of
// its own, so a reader walking the document meets each once, and its text holds each once.
TEST(Accessibility, eachAltTextAndTaskIsReadOnce)
{
    const struct
    {
        const char *name;
        QString markdown;
        QStringList texts;
    } cases[] = {
        {"a picture alone in its paragraph", "Before it.\n\n![A diagram of the flow](flow.png)\n",
         {"A diagram of the flow", "Before it."}},
        {"pictures on two rows", "![First picture](a.png)\\\n![Second picture](b.png)\n",
         {"First picture", "Second picture"}},
        {"a row of linked badges",
         "[![build passing](build.svg)](https://example.com/ci) "
         "[![coverage high](cov.svg)](https://example.com/cov)\n",
         {"build passing", "coverage high"}},
        {"pictures in a table", tolvaran::fixtures::markdown::beforeAfterTable(),
         {"The old window", "The new window", "Before", "After"}},
        {"a task list", "- [x] done task\n- [ ] open task\n", {"done task", "open task"}},
        {"a task of two paragraphs", "- [ ] first words\n\n  more words\n",
         {"first words", "more words"}},
        {"a task of a picture", "- [ ] ![task picture](b.png)\n", {"task picture"}},
    };
    for (const auto &row : cases) {
        SCOPED_TRACE(row.name);
        ShownDocument shown(row.markdown);
        QList<QAccessibleInterface *> nodes;
        collectNodes(shown.document(), nodes);
        for (const QString &text : row.texts) {
            const auto readers = std::count_if(nodes.begin(), nodes.end(),
                                               [&](auto *node) { return reads(node, text); });
            EXPECT_EQ(readers, 1) << text.toStdString();
            EXPECT_EQ(allText(shown.document()).count(text), 1) << text.toStdString();
        }
    }
}

// The interfaces follow the document shown: another document replaces them all, and the text
// a reader asks to see scrolls into view.
TEST(Accessibility, theInterfacesFollowTheDocumentShown)
{
    QString longer;
    for (int paragraph = 0; paragraph < 120; ++paragraph)
        longer += QStringLiteral("Paragraph %1 of the text.\n\n").arg(paragraph);
    longer += QStringLiteral("## The end\n");
    ShownDocument shown(guide);
    QAccessibleInterface *document = shown.document();
    ASSERT_EQ(document->childCount(), 6);
    QAccessibleInterface *oldParagraph = document->child(1);
    const QAccessible::Id oldId = QAccessible::uniqueId(oldParagraph);
    shown.view.setContent(MarkdownContent(longer));
    // Until the document is asked again, what a reader holds answers for what it read.
    EXPECT_EQ(allText(oldParagraph), QStringLiteral("Run the installer and read the notes."));
    EXPECT_EQ(oldParagraph->child(0)->text(QAccessible::Name), QStringLiteral("the notes"));
    EXPECT_FALSE(oldParagraph->child(0)->state().focused);
    EXPECT_EQ(oldParagraph->child(0)->parent(), oldParagraph);
    ASSERT_EQ(document->childCount(), 121);
    EXPECT_EQ(QAccessible::accessibleInterface(oldId), nullptr);
    QAccessibleInterface *end = document->child(120);
    EXPECT_EQ(end->text(QAccessible::Name), QStringLiteral("The end"));
    // Laid out later, far below: known once the reader asks for it.
    const QRect viewRect(shown.view.mapToGlobal(QPoint()), shown.view.size());
    EXPECT_FALSE(viewRect.intersects(end->rect()));
    end->textInterface()->scrollToSubstring(0, 3);
    EXPECT_TRUE(viewRect.contains(end->rect()));
}

// Tab moves the reader's focus with the keyboard's: onto each link, and back to the document.
TEST(Accessibility, theFocusChildIsTheLinkInFocus)
{
    ShownDocument shown(QStringLiteral(
        "Read [one](https://example.com/one), [never](javascript:alert(1)) and "
        "[two](https://example.com/two).\n\n| a |\n|---|\n| [three](https://example.com/3) |\n"));
    QAccessibleInterface *document = shown.document();
    shown.view.setFocus();
    EXPECT_EQ(document->focusChild(), nullptr);
    QStringList walked;
    for (int step = 0; step < 3; ++step) {
        QTest::keyClick(&shown.view, Qt::Key_Tab);
        QAccessibleInterface *focused = document->focusChild();
        ASSERT_NE(focused, nullptr);
        EXPECT_TRUE(focused->state().focused);
        walked.append(focused->text(QAccessible::Name));
    }
    EXPECT_EQ(walked, (QStringList{"one", "two", "three"}));
    // The link that never opens is read as a link, but offers nothing to press.
    QAccessibleInterface *never = document->child(0)->child(1);
    EXPECT_EQ(never->text(QAccessible::Name), QStringLiteral("never"));
    EXPECT_TRUE(never->actionInterface()->actionNames().isEmpty());
}

// With the focus on the document itself, a frame in the highlight colour shows around it where
// that colour stands out from the background by 3:1, and in the text colour where it does not.
TEST(Accessibility, theDocumentInFocusShowsAFrameThatStandsOut)
{
    QPalette light = QApplication::palette();
    light.setColor(QPalette::Base, Qt::white);
    light.setColor(QPalette::Highlight, QColor(0x30, 0x8C, 0xC6));
    QPalette dark = light;
    dark.setColor(QPalette::Window, QColor(0x18, 0x19, 0x1D));
    dark.setColor(QPalette::Base, QColor(0x18, 0x19, 0x1D));
    dark.setColor(QPalette::WindowText, QColor(0xE8, 0xE8, 0xEA));
    dark.setColor(QPalette::Highlight, QColor(0x2F, 0x5F, 0xA8)); // too dark on that base
    for (const QPalette &palette : {light, dark}) {
        ShownDocument shown(QStringLiteral("Some text."));
        shown.view.setPalette(palette);
        shown.view.setFocus();
        ASSERT_TRUE(shown.view.hasFocus());
        const QImage image = shown.view.viewport()->grab().toImage();
        const QColor background = palette.color(QPalette::Base);
        const QColor frame = image.pixelColor(1, image.height() / 2);
        EXPECT_GE(contrastRatio(frame, background), 3) << frame.name().toStdString();
        const QColor inside = image.pixelColor(8, image.height() / 2);
        EXPECT_EQ(inside, background);
    }
}

TEST(Accessibility, contrastRatio)
{
    EXPECT_DOUBLE_EQ(contrastRatio(Qt::black, Qt::white), 21);
    EXPECT_DOUBLE_EQ(contrastRatio(Qt::white, Qt::black), 21);
    EXPECT_DOUBLE_EQ(contrastRatio(QColor(0x77, 0x77, 0x77), QColor(0x77, 0x77, 0x77)), 1);
    EXPECT_NEAR(contrastRatio(QColor(0x30, 0x8C, 0xC6), Qt::white), 3.69, 0.01);
}
