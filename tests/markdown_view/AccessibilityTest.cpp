#include "markdown_view/MarkdownView.h"
#include "markdown_view/theme/Color.h"
#include "support/markdown/TableDocuments.h"

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
    EXPECT_EQ(cells->rowCount(), 2);
    EXPECT_EQ(cells->columnCount(), 2);
    EXPECT_EQ(cells->columnDescription(1), QStringLiteral("Support"));
    QAccessibleInterface *cell = cells->cellAt(1, 1);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->role(), QAccessible::Cell);
    EXPECT_EQ(cell->text(QAccessible::Name), QStringLiteral("Experimental"));
    EXPECT_EQ(allText(cell), QStringLiteral("Experimental"));
    QAccessibleTableCellInterface *place = cell->tableCellInterface();
    ASSERT_NE(place, nullptr);
    EXPECT_EQ(place->rowIndex(), 1);
    EXPECT_EQ(place->columnIndex(), 1);
    EXPECT_EQ(place->table(), table);
    ASSERT_EQ(place->columnHeaderCells().size(), 1);
    EXPECT_EQ(place->columnHeaderCells().first()->text(QAccessible::Name),
              QStringLiteral("Support"));
    EXPECT_EQ(cells->cellAt(0, 0)->text(QAccessible::Name), QStringLiteral("Linux"));
    EXPECT_EQ(cells->cellAt(2, 0)->tableCellInterface(), nullptr); // past the rows of data

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

namespace {

// GetRowAtIndex and GetColumnAtIndex as the desktop's accessibility bridge answers them for
// the table's child `index`: a column header by its role (no row, its index for its column),
// any other child by its cell interface; none where the bridge finds neither.
std::optional<std::pair<int, int>> bridgePosition(QAccessibleInterface *table, int index)
{
    QAccessibleInterface *child = table->child(index);
    if (!child)
        return std::nullopt;
    if (child->role() == QAccessible::ColumnHeader)
        return std::pair(-1, index);
    QAccessibleTableCellInterface *cell = child->tableCellInterface();
    if (!cell)
        return std::nullopt;
    return std::pair(cell->rowIndex(), cell->columnIndex());
}

} // namespace

// A screen reader on the desktop reads a table through the bridge's calls: rows are the rows
// of data, the header cells come first among the table's children, and the bridge finds a
// column's header by asking the first data row's cell for it.
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
        EXPECT_EQ(cells->rowCount(), row.rows);
        EXPECT_EQ(cells->columnCount(), columns);
        ASSERT_EQ(table->childCount(), (row.rows + 1) * columns);

        for (int column = 0; column < columns; ++column) {
            const QString &name = row.headers[column];
            // GetColumnHeader and GetColumnDescription.
            EXPECT_EQ(cells->columnDescription(column), name);
            QAccessibleInterface *first = cells->cellAt(0, column);
            ASSERT_NE(first, nullptr);
            if (row.rows == 0) {
                EXPECT_EQ(first->tableCellInterface(), nullptr);
            } else {
                ASSERT_NE(first, nullptr);
                ASSERT_NE(first->tableCellInterface(), nullptr);
                const QList<QAccessibleInterface *> headers =
                    first->tableCellInterface()->columnHeaderCells();
                ASSERT_EQ(headers.size(), 1);
                EXPECT_EQ(headers.first()->text(QAccessible::Name), name);
                EXPECT_EQ(headers.first()->role(), QAccessible::ColumnHeader);
                EXPECT_EQ(table->indexOfChild(headers.first()), column);
            }
            // The header cells stay the table's children, read in its text.
            QAccessibleInterface *header = table->child(column);
            ASSERT_NE(header, nullptr);
            EXPECT_EQ(header->text(QAccessible::Name), name);
            EXPECT_EQ(bridgePosition(table, column), std::pair(-1, column));
        }
        // GetAccessibleAt and GetIndexAt, and back from the index to the row and column.
        for (int at = 0; at < row.rows; ++at) {
            for (int column = 0; column < columns; ++column) {
                QAccessibleInterface *cell = cells->cellAt(at, column);
                ASSERT_NE(cell, nullptr);
                EXPECT_EQ(cell->role(), QAccessible::Cell);
                const int index = table->indexOfChild(cell);
                EXPECT_GT(index, 0);
                EXPECT_EQ(table->child(index), cell);
                EXPECT_EQ(bridgePosition(table, index), std::pair(at, column));
                EXPECT_EQ(cell->tableCellInterface()->table(), table);
            }
        }
        // GetRowColumnExtentsAtIndex takes the cell at the child's index divided by the
        // columns and asks it for its cell interface unchecked: a cell for every child, and
        // no cell of data where none stands there.
        for (int index = 0; index < table->childCount(); ++index) {
            QAccessibleInterface *cell = cells->cellAt(index / columns, index % columns);
            ASSERT_NE(cell, nullptr) << index;
            if (index / columns >= row.rows) {
                EXPECT_EQ(cell->tableCellInterface(), nullptr) << index;
            }
        }
        EXPECT_EQ(cells->cellAt(-1, 0)->tableCellInterface(), nullptr);
        EXPECT_EQ(cells->cellAt(0, columns), nullptr);
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
