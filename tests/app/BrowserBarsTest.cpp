// The browser's bars on their own: what the pagination bar offers at the edges of the list and
// how the footer's status line is put together.
#include "app/window/BrowserFooter.h"
#include "app/window/CommitBanner.h"
#include "app/window/PaginationBar.h"
#include "widgets/ElidingLabel.h"

#include <QComboBox>
#include <QLabel>
#include <QSignalSpy>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace tolvaran;

namespace {

template <typename Widget>
Widget *part(const QWidget &bar, const char *name)
{
    auto *widget = bar.findChild<Widget *>(QLatin1String(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

} // namespace

TEST(PaginationBar, offersOnlyThePagesThatExist)
{
    struct Row
    {
        const char *name;
        qint64 current;
        qint64 total;
        const char *pageText;
        bool previous;
        bool next;
    };
    const Row rows[] = {
        {"an empty list still has its one page", 1, 1, "Page 1 of 1", false, false},
        {"first of several", 1, 3, "Page 1 of 3", false, true},
        {"in the middle", 2, 3, "Page 2 of 3", true, true},
        {"last of several", 3, 3, "Page 3 of 3", true, false},
    };
    PaginationBar bar;
    for (const Row &row : rows) {
        bar.setPage(QStringLiteral("summary"), row.current, row.total, ProjectPageSize::ten);
        EXPECT_EQ(part<QLabel>(bar, "pageLabel")->text(), QLatin1String(row.pageText))
            << row.name;
        EXPECT_EQ(part<QToolButton>(bar, "previousButton")->isEnabled(), row.previous)
            << row.name;
        EXPECT_EQ(part<QToolButton>(bar, "nextButton")->isEnabled(), row.next) << row.name;
    }
}

TEST(PaginationBar, showsTheSummaryAndPageSizeAndReportsChoices)
{
    PaginationBar bar;
    bar.setPage(QStringLiteral("21-23 of 23"), 3, 3, ProjectPageSize::oneHundred);
    EXPECT_EQ(part<QLabel>(bar, "paginationLabel")->text(), QStringLiteral("21-23 of 23"));
    auto *sizes = part<QComboBox>(bar, "pageSizeButton");
    EXPECT_EQ(sizes->currentText(),
              QStringLiteral("Show ") + rawValue(ProjectPageSize::oneHundred));

    QSignalSpy chosen(&bar, &PaginationBar::pageSizeChosen);
    QSignalSpy previous(&bar, &PaginationBar::previousPageRequested);
    Q_EMIT sizes->activated(int(allProjectPageSizes.size()) - 1);
    part<QToolButton>(bar, "previousButton")->click();
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.first().first().value<ProjectPageSize>(), allProjectPageSizes.back());
    EXPECT_EQ(previous.size(), 1);
}

TEST(BrowserFooter, namesEachKnownPartInItsPlace)
{
    BrowserFooter::Status status;
    status.shownProjects = 2;
    status.allProjects = 5;
    status.pinnedProjects = 1;
    status.unreadProjects = 3;
    status.processingProjects = 4;
    const Timestamp now = Timestamp::now();
    EXPECT_EQ(BrowserFooter::text(status, false, now),
              QStringLiteral("2/5 projects  |  1 pinned  |  3 unread  |  4 processing  |  "
                             "Event-driven repository updates  |  Not refreshed yet"));
    EXPECT_EQ(BrowserFooter::text(status, true, now),
              QStringLiteral("2/5 projects  |  1 pinned  |  3 unread  |  4 processing\n"
                             "Event updates  |  Not refreshed yet"));

    status.tagName = QStringLiteral("work");
    status.teamConnection = QStringLiteral("Ana's team: Team connected");
    status.statusMessage = QStringLiteral("Opening alpha");
    status.error = QStringLiteral("Could not open the chat");
    EXPECT_EQ(BrowserFooter::text(status, false, now),
              QStringLiteral("2/5 projects  |  1 pinned  |  3 unread  |  4 processing  |  "
                             "Tag: work  |  Event-driven repository updates  |  "
                             "Not refreshed yet  |  Ana's team: Team connected  |  "
                             "Opening alpha  |  Could not open the chat"));
}

TEST(BrowserFooter, takesTwoLinesWhenCompactAndKeepsItsStatus)
{
    BrowserFooter footer;
    BrowserFooter::Status status;
    status.shownProjects = 1;
    status.allProjects = 1;
    footer.setStatus(status);
    auto *label = part<ElidingLabel>(footer, "footerLabel");
    const auto text = [label] { return label->text(); };
    EXPECT_FALSE(text().contains(QLatin1Char('\n')));

    footer.setCompact(true);
    EXPECT_TRUE(footer.isCompact());
    EXPECT_EQ(footer.height(), BrowserFooter::compactFooterHeight);
    EXPECT_TRUE(text().startsWith(QStringLiteral("1/1 projects"))) << text().toStdString();
    EXPECT_TRUE(text().contains(QStringLiteral("\nEvent updates  |  ")));
}

TEST(CommitBanner, showsWhileThereIsACommitToAnnounce)
{
    CommitBanner banner;
    EXPECT_TRUE(banner.isHidden());
    banner.setText(CommitBannerText{QStringLiteral("Ana committed to tolvaran"),
                                    QStringLiteral("Fix the footer  |  1a2b3c4")});
    EXPECT_FALSE(banner.isHidden());
    EXPECT_EQ(part<QLabel>(banner, "commitTitle")->text(),
              QStringLiteral("Ana committed to tolvaran"));

    QSignalSpy dismissed(&banner, &CommitBanner::dismissRequested);
    part<QToolButton>(banner, "commitDismissButton")->click();
    EXPECT_EQ(dismissed.size(), 1);
    banner.setText(std::nullopt);
    EXPECT_TRUE(banner.isHidden());
}
