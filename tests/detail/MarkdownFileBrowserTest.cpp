// The Markdown Files tab: what a preview reads of a file (regular files only, at most 1 MiB,
// any bytes), which file the browser shows as its list and selection change, and its states.
#include "detail/DetailEmptyState.h"
#include "detail/sections/MarkdownFileBrowser.h"
#include "detail/sections/MarkdownPreviewLoader.h"
#include "markdown_view/MarkdownView.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QToolButton>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;
using namespace std::chrono_literals;

namespace {

constexpr qint64 limit = MarkdownPreviewLoader::readLimit;
const QChar replacement(0xFFFD);

ProjectMarkdownFile fileAt(const TemporaryHome &home, const QString &relative,
                           const QByteArray &contents)
{
    return {home.writeFile(relative, contents), relative};
}

QString makeFifo(const TemporaryHome &home, const QString &relative)
{
    const QString path = home.filePath(relative);
    EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    return path;
}

bool previewShows(const MarkdownFileBrowser &browser, const QString &text)
{
    return !browser.isLoadingPreview() && browser.previewText() == text;
}

} // namespace

TEST(MarkdownPreview, readsAtMostTheLimitAndAnyBytes)
{
    TemporaryHome home;
    const QByteArray cutCharacter = QByteArray(limit - 1, 'a') + "\xC3\xA9"; // é over the limit
    const struct
    {
        const char *name;
        QByteArray contents;
        QString text;
        bool truncated;
    } rows[] = {
        {"empty", {}, {}, false},
        {"exactly the limit", QByteArray(limit, 'x'), QString(limit, u'x'), false},
        {"one byte more", QByteArray(limit, 'x') + 'y', QString(limit, u'x'), true},
        {"not UTF-8", "caf\xE9 \xFF!", QStringLiteral("caf") + replacement + u' ' + replacement
                                              + u'!', false},
        {"a character cut at the limit", cutCharacter,
         QString(limit - 1, u'a') + replacement, true},
    };
    for (const auto &row : rows) {
        const QString path =
            home.writeFile(QString::fromLatin1(row.name) + QStringLiteral(".md"), row.contents);
        const std::optional<MarkdownPreview> preview = readMarkdownPreview(path, limit);
        ASSERT_TRUE(preview) << row.name;
        EXPECT_EQ(preview->text, row.text) << row.name;
        EXPECT_EQ(preview->isTruncated, row.truncated) << row.name;
    }
}

TEST(MarkdownPreview, readsOnlyRegularFilesAfterFollowingLinks)
{
    TemporaryHome home;
    const QString target = home.writeFile(QStringLiteral("target.md"), "# Linked");
    ASSERT_TRUE(QFile::link(target, home.filePath(QStringLiteral("link.md"))));
    EXPECT_EQ(readMarkdownPreview(home.filePath(QStringLiteral("link.md")), limit)->text,
              QStringLiteral("# Linked"));

    ASSERT_TRUE(QDir().mkpath(home.filePath(QStringLiteral("folder.md"))));
    ASSERT_TRUE(
        QFile::link(QStringLiteral("/dev/zero"), home.filePath(QStringLiteral("zero.md"))));
    const QString fifo = makeFifo(home, QStringLiteral("x.md"));
    for (const QString &path :
         {home.filePath(QStringLiteral("missing.md")), home.filePath(QStringLiteral("folder.md")),
          home.filePath(QStringLiteral("zero.md")), fifo}) {
        EXPECT_FALSE(readMarkdownPreview(path, limit)) << path.toStdString();
    }
}

TEST(MarkdownFileBrowser, aFifoNamedLikeMarkdownCannotHangThePane)
{
    TemporaryHome home;
    const ProjectMarkdownFile fifo{makeFifo(home, QStringLiteral("x.md")),
                                   QStringLiteral("x.md")};
    MarkdownFileBrowser browser;
    browser.setFiles(QList{fifo}, false);
    browser.show();
    EXPECT_TRUE(waitUntil(
        [&] { return previewShows(browser, MarkdownFileBrowser::unreadableText); }, 2s));
    EXPECT_FALSE(browser.isPreviewTruncated());
}

TEST(MarkdownFileBrowser, showsTheFirstFileUntilAnotherIsChosenAndWhileTheChoiceIsListed)
{
    TemporaryHome home;
    const ProjectMarkdownFile readme = fileAt(home, QStringLiteral("README.md"), "# Readme");
    const ProjectMarkdownFile guide = fileAt(home, QStringLiteral("docs/guide.md"), "# Guide");
    const ProjectMarkdownFile notes = fileAt(home, QStringLiteral("notes.md"), "# Notes");
    QList<QString> opened;
    MarkdownFileBrowser browser;
    browser.setFileOpener([&](const QString &path) { opened.append(path); });
    browser.setFiles(QList{readme, guide, notes}, false);
    browser.show();

    // Nothing chosen yet: the first file is highlighted and shown.
    EXPECT_FALSE(browser.selectedPath());
    EXPECT_EQ(browser.highlightedPath(), readme.path);
    ASSERT_TRUE(waitUntil([&] { return previewShows(browser, QStringLiteral("# Readme")); }));
    EXPECT_TRUE(waitUntil([&] { return browser.previewView()->content().blocks().size() == 1; }));

    // A click on a row.
    auto *list = browser.findChild<QListWidget *>(QStringLiteral("markdownFileList"));
    list->setCurrentRow(1);
    EXPECT_EQ(browser.selectedPath(), guide.path);
    EXPECT_TRUE(waitUntil([&] { return previewShows(browser, QStringLiteral("# Guide")); }));
    browser.openSelectedFile();
    EXPECT_EQ(opened, QList{guide.path}) << "the absolute path, not the relative one";

    // The pane loads its details again: the chosen file is still listed, so it stays.
    browser.setFiles(QList{readme, guide, notes}, true);
    browser.setFiles(QList{readme, guide}, false);
    EXPECT_EQ(browser.selectedPath(), guide.path);

    // A list without it falls back to the first file, and reads it.
    browser.setFiles(QList{notes, readme}, false);
    EXPECT_FALSE(browser.selectedPath());
    EXPECT_EQ(browser.highlightedPath(), notes.path);
    EXPECT_TRUE(waitUntil([&] { return previewShows(browser, QStringLiteral("# Notes")); }));

    // Deselecting the row makes the first file the selection again.
    list->setCurrentRow(1);
    EXPECT_TRUE(waitUntil([&] { return previewShows(browser, QStringLiteral("# Readme")); }));
    list->clearSelection();
    EXPECT_FALSE(browser.selectedPath());
    EXPECT_EQ(browser.highlightedPath(), notes.path);
    EXPECT_TRUE(waitUntil([&] { return previewShows(browser, QStringLiteral("# Notes")); }));

    // Shown anew, it starts from the first file again.
    list->setCurrentRow(1);
    browser.hide();
    browser.show();
    EXPECT_FALSE(browser.selectedPath());
    EXPECT_TRUE(waitUntil([&] { return previewShows(browser, QStringLiteral("# Notes")); }));
}

// A screen reader names the list of files as the sidebar's title does.
TEST(MarkdownFileBrowser, theFileListIsNamed)
{
    MarkdownFileBrowser browser;
    auto *list = browser.findChild<QListWidget *>(QStringLiteral("markdownFileList"));
    ASSERT_NE(list, nullptr);
    QAccessibleInterface *interface = QAccessible::queryAccessibleInterface(list);
    ASSERT_NE(interface, nullptr);
    EXPECT_EQ(interface->text(QAccessible::Name), QStringLiteral("Markdown Files"));
}

TEST(MarkdownFileBrowser, aRapidChangeOfSelectionShowsTheLastChoice)
{
    TemporaryHome home;
    QList<ProjectMarkdownFile> files;
    for (int index = 0; index < 6; ++index) {
        // Large files first, so that earlier reads tend to end after later ones.
        const QByteArray contents = index < 5 ? QByteArray(limit, 'a' + char(index))
                                              : QByteArray("# Last");
        files.append(fileAt(home, QStringLiteral("file%1.md").arg(index), contents));
    }
    MarkdownFileBrowser browser;
    browser.setFiles(files, false);
    browser.show();
    for (const ProjectMarkdownFile &file : files) {
        browser.setSelectedPath(file.path);
        EXPECT_TRUE(browser.isLoadingPreview());
    }
    ASSERT_TRUE(waitUntil([&] { return !browser.isLoadingPreview(); }));
    EXPECT_EQ(browser.previewText(), QStringLiteral("# Last"));
    // The earlier reads run on their own in the background, and nothing on this thread comes
    // after them in order: a bounded wait gives a late one the time to arrive.
    processEventsFor(200ms);
    EXPECT_EQ(browser.previewText(), QStringLiteral("# Last")) << "no earlier read arrives late";
}

TEST(MarkdownFileBrowser, marksAPreviewCutAtTheLimit)
{
    TemporaryHome home;
    const ProjectMarkdownFile whole = fileAt(home, QStringLiteral("a.md"), QByteArray(limit, 'a'));
    const ProjectMarkdownFile longer =
        fileAt(home, QStringLiteral("b.md"), QByteArray(limit, 'b') + 'c');
    MarkdownFileBrowser browser;
    browser.setFiles(QList{whole, longer}, false);
    browser.show();
    auto *note = browser.findChild<QLabel *>(QStringLiteral("markdownTruncatedNote"));
    ASSERT_TRUE(waitUntil([&] { return !browser.isLoadingPreview(); }));
    EXPECT_FALSE(browser.isPreviewTruncated());
    EXPECT_FALSE(note->isVisible());

    browser.setSelectedPath(longer.path);
    ASSERT_TRUE(waitUntil([&] { return !browser.isLoadingPreview(); }));
    EXPECT_TRUE(browser.isPreviewTruncated());
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->text(), QStringLiteral("Preview limited to the first 1 MB"));
    EXPECT_EQ(browser.previewText().size(), limit);
    EXPECT_FALSE(browser.previewText().contains(u'c'));
}

TEST(MarkdownFileBrowser, loadingWinsOverAnOlderListAndNoFilesSaySo)
{
    TemporaryHome home;
    const ProjectMarkdownFile readme = fileAt(home, QStringLiteral("README.md"), "# Readme");
    MarkdownFileBrowser browser;
    browser.show();
    auto *loading = browser.findChild<QWidget *>(QStringLiteral("markdownFilesLoading"));
    auto *empty = browser.findChild<DetailEmptyState *>();
    auto *open = browser.findChild<QToolButton *>(QStringLiteral("markdownOpenButton"));
    EXPECT_TRUE(loading->isVisible());

    browser.setFiles(QList{readme}, false);
    EXPECT_FALSE(loading->isVisible());
    EXPECT_TRUE(open->isVisible());
    browser.setFiles(QList{readme}, true);
    EXPECT_TRUE(loading->isVisible()) << "even with a list from before";

    browser.setFiles(QList<ProjectMarkdownFile>{}, false);
    EXPECT_TRUE(empty->isVisible());
    EXPECT_EQ(empty->text(), QStringLiteral("No Markdown files found"));
    EXPECT_FALSE(browser.effectiveSelectedPath());
    EXPECT_FALSE(open->isVisibleTo(&browser));
}
