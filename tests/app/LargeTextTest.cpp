// Larger desktop text: the window's own text and the room around it grow with the application
// font, follow a change of it while the window is open, nothing that fits at the default size
// is cut at 15 points, a short window still gives most of its height to the cards (from the
// moment it opens), and the usage figures wrap rather than lose their ends.
#include "BrowserWorld.h"

#include "app/cards/ProjectCardGrid.h"
#include "app/cards/ProjectCardView.h"
#include "app/cards/WeeklyAllowanceLabel.h"
#include "app/TolvaranWindow.h"
#include "app/window/TokenUsageStrip.h"
#include "app/window/TolvaranViewController.h"
#include "support/WaitUntil.h"
#include "support/widgets/FocusStops.h"
#include "support/widgets/ScopedApplicationFont.h"
#include "widgets/BrowserStyle.h"
#include "widgets/CompactNumberFormat.h"
#include "widgets/ElidingLabel.h"
#include "widgets/FontScale.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

TEST(FontScale, sizesFollowTheApplicationFontInProportionToTheDefault)
{
    ASSERT_DOUBLE_EQ(QApplication::font().pointSizeF(), FontScale::defaultPointSize);
    EXPECT_DOUBLE_EQ(FontScale::factor(), 1.0);
    EXPECT_EQ(FontScale::scaled(246), 246);

    QLabel title;
    BrowserStyle::systemFont(16, QFont::DemiBold).apply(&title);
    QLabel path;
    BrowserStyle::monospacedFont(10).apply(&path);
    int runs = 0;
    auto context = std::make_unique<QObject>();
    FontScale::follow(context.get(), [&runs] { ++runs; });
    int goneRuns = 0;
    FontScale::follow(std::make_unique<QObject>().get(), [&goneRuns] { ++goneRuns; });
    EXPECT_EQ(title.font().pixelSize(), 16);
    EXPECT_EQ(runs, 1);

    {
        ScopedApplicationFont large(15);
        EXPECT_DOUBLE_EQ(FontScale::factor(), 15.0 / 9.0);
        EXPECT_EQ(FontScale::scaled(246), 410);
        EXPECT_EQ(title.font().pixelSize(), 27);
        EXPECT_EQ(title.font().weight(), QFont::DemiBold);
        EXPECT_EQ(path.font().pixelSize(), 17);
        EXPECT_EQ(path.font().family(), BrowserStyle::monospacedFont(10).font().family());
        EXPECT_EQ(runs, 2);
        context.reset();
    }
    // Back at the default; a follower whose object is gone is not run again.
    EXPECT_EQ(title.font().pixelSize(), 16);
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(goneRuns, 1);
}

class LargeTextTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Paths of the test's own: one in the temporary folder grows with TMPDIR's name, and
        // at some lengths it would end just where a card cuts it at one size and not the other.
        world.addProjectAt(QStringLiteral("/home/ada/code/orbit"), 4);
        world.addProjectAt(QStringLiteral("/home/ada/code/delta-sync"), 2, true);
        world.addProjectAt(QStringLiteral("/home/ada/code/cobalt-ui"), 1);
        world.makeModel(false);
        ASSERT_TRUE(world.refresh());
        browser = std::make_unique<TolvaranViewController>(
            *world.model, world.team, world.folderPicker, [](const QString &) {});
        QObject::connect(browser.get(), &TolvaranViewController::rendered,
                         [this] { ++renders; });
        browser->resize(1280, 800);
        browser->show();
        ASSERT_TRUE(waitUntil([this] { return renders > 0; }));
    }

    QList<ProjectCardView *> cards() const
    {
        QList<ProjectCardView *> shown;
        auto *grid = browser->findChild<ProjectCardGrid *>(QStringLiteral("collectionView"));
        for (qsizetype index = 0; index < grid->identifiers().size(); ++index) {
            if (ProjectCardView *card = grid->cardAt(index))
                shown.append(card);
        }
        return shown;
    }

    // The card texts shown whole, by card and name.
    QStringList wholeTexts() const
    {
        QStringList whole;
        for (ProjectCardView *card : cards()) {
            for (ElidingLabel *label : card->findChildren<ElidingLabel *>()) {
                if (label->isVisible() && label->QLabel::text() == label->text())
                    whole.append(card->model()->project.name + QLatin1Char('/')
                                 + label->objectName());
            }
        }
        return whole;
    }

    // Every shown status item and titled button of the cards at its full size, inside its
    // card (image-only buttons have the design's fixed sizes).
    void expectNothingSqueezed() const
    {
        for (ProjectCardView *card : cards()) {
            for (QWidget *child : card->findChildren<QWidget *>()) {
                if (!child->isVisible())
                    continue;
                const QRect area(child->mapTo(card, QPoint()), child->size());
                EXPECT_TRUE(card->rect().contains(area)) << child->objectName().toStdString();
                const auto *button = qobject_cast<QAbstractButton *>(child);
                if ((button && !button->text().isEmpty())
                    || child->parentWidget()->objectName() == QLatin1String("statusStack")) {
                    EXPECT_GE(child->width(), child->sizeHint().width())
                        << child->objectName().toStdString();
                }
            }
        }
    }

    BrowserWorld world;
    std::unique_ptr<TolvaranViewController> browser;
    int renders = 0;
};

TEST_F(LargeTextTest, aFifteenPointFontCutsNoCardTextThatFitsAtTheDefault)
{
    const QStringList wholeAtDefault = wholeTexts();
    ASSERT_GE(wholeAtDefault.size(), 3 * 3); // names, metrics and work lines at least
    // The chosen paths fit at the default size, so the comparison covers them too.
    for (const char *name : {"orbit", "delta-sync", "cobalt-ui"})
        EXPECT_TRUE(wholeAtDefault.contains(QLatin1String(name) + QStringLiteral("/pathLabel")))
            << name;
    expectNothingSqueezed();

    ScopedApplicationFont large(15);
    QCoreApplication::processEvents();
    const QStringList wholeLarge = wholeTexts();
    for (const QString &text : wholeAtDefault)
        EXPECT_TRUE(wholeLarge.contains(text)) << text.toStdString() << " is cut";
    expectNothingSqueezed();
}

// The texts the browser paints itself grow with the font, not only Qt's own widgets, and
// so does the room around them.
TEST_F(LargeTextTest, theBrowsersOwnTextsGrowWithTheApplicationFont)
{
    const struct
    {
        const char *name;
        int designPixels;
    } rows[] = {
        {"titleLabel", 22}, {"countLabel", 11}, {"footerLabel", 10}, {"pageLabel", 11},
        {"usageTodayLabel", 10}, {"nameLabel", 16}, {"pathLabel", 10}, {"metricsLabel", 11},
    };
    const auto pixelSizeOf = [this](const char *name) {
        auto *widget = browser->findChild<QWidget *>(QLatin1String(name));
        return widget ? widget->font().pixelSize() : -1;
    };
    for (const auto &row : rows)
        EXPECT_EQ(pixelSizeOf(row.name), row.designPixels) << row.name;
    const int headerAtDefault = browser->findChild<QWidget *>(QStringLiteral("header"))->height();

    ScopedApplicationFont large(15);
    QCoreApplication::processEvents();
    for (const auto &row : rows)
        EXPECT_EQ(pixelSizeOf(row.name), FontScale::scaled(row.designPixels)) << row.name;
    EXPECT_EQ(browser->findChild<QWidget *>(QStringLiteral("header"))->height(),
              FontScale::scaled(headerAtDefault));
    EXPECT_EQ(cards().first()->height(), FontScale::scaled(246));
}

// 15 points on a 1024 by 600 screen leave the browser 1024 by 546 below the window's title bar
// and menu: the bars above the cards (title, search, usage, list controls) scroll away with
// them, so the card list takes at least half the height, while the page bar and the status
// line stay. At the default size the same window, and at 15 points a tall one, keep the bars
// fixed above the cards.
TEST_F(LargeTextTest, aShortWindowGivesTheCardListAtLeastHalfItsHeight)
{
    ProjectCardGrid *grid = browser->collectionView();
    auto *header = browser->findChild<QWidget *>(QStringLiteral("header"));
    const auto barsScroll = [&] {
        QCoreApplication::processEvents();
        return grid->viewport()->isAncestorOf(header);
    };
    const auto shownInBrowser = [this](const char *name) {
        auto *part = browser->findChild<QWidget *>(QLatin1String(name));
        return part && part->isVisible()
            && browser->rect().contains(QRect(part->mapTo(browser.get(), QPoint()), part->size()));
    };
    browser->resize(1024, 546);
    EXPECT_FALSE(barsScroll());

    ScopedApplicationFont large(15);
    ASSERT_TRUE(barsScroll());
    EXPECT_GE(2 * grid->height(), browser->height());
    EXPECT_TRUE(shownInBrowser("paginationBar"));
    EXPECT_TRUE(shownInBrowser("footerLabel"));
    // The list goes on from where it was, its first card: the bars are a scroll above it.
    EXPECT_EQ(grid->scrollOffset(), header->parentWidget()->height());
    EXPECT_EQ(header->parentWidget()->mapTo(grid->viewport(), QPoint()),
              QPoint(0, -header->parentWidget()->height()));
    grid->setScrollOffset(0);
    EXPECT_EQ(header->mapTo(grid->viewport(), QPoint()), QPoint(0, 0));

    // Scrolled, the bars leave with the first cards; the focus brings them back.
    grid->setScrollOffset(header->height());
    EXPECT_LE(header->mapTo(grid->viewport(), QPoint(0, header->height())).y(), 0);
    auto *search = header->findChild<QLineEdit *>(QStringLiteral("searchField"));
    search->setFocus(Qt::BacktabFocusReason);
    EXPECT_TRUE(grid->viewport()->rect().contains(
        QRect(search->mapTo(grid->viewport(), QPoint()), search->size())));

    // The bars move under the user's fingers: the search field keeps the focus.
    QApplication::setActiveWindow(browser.get());
    search->setFocus(Qt::OtherFocusReason);
    browser->resize(1024, 1000);
    EXPECT_FALSE(barsScroll());
    EXPECT_TRUE(search->hasFocus());
    browser->resize(1024, 546);
    EXPECT_TRUE(barsScroll());
    EXPECT_TRUE(search->hasFocus());

    // With no card to show, the words that say so sit below the bars.
    search->clearFocus();
    world.model->setSearchText(QStringLiteral("no such project"));
    auto *empty = browser->findChild<QLabel *>(QStringLiteral("emptyLabel"));
    const int rendered = renders;
    ASSERT_TRUE(waitUntil([&] { return renders > rendered && empty->isVisible(); }));
    EXPECT_GE(empty->y(), header->mapTo(grid->viewport(), QPoint(0, header->height())).y());

    browser->resize(1024, 1000);
    EXPECT_FALSE(barsScroll());
    EXPECT_EQ(header->mapTo(browser.get(), QPoint()), QPoint(0, 0));
}

// A browser opened at a text size and a size of its own, over a page of cards enough to fill
// any of them.
class OpeningBrowser
{
public:
    // `prepare` adds to the world before the model is made.
    OpeningBrowser(double points, QSize size,
                   const std::function<void(BrowserWorld &)> &prepare = {})
        : font(points)
    {
        for (int index = 0; index < 8; ++index)
            world.addProject(QStringLiteral("project-%1").arg(index), 1);
        if (prepare)
            prepare(world);
        world.makeModel(false);
        refreshed = world.refresh();
        browser = std::make_unique<TolvaranViewController>(
            *world.model, world.team, world.folderPicker, [](const QString &) {});
        QObject::connect(browser.get(), &TolvaranViewController::rendered,
                         [this] { ++renders; });
        browser->resize(size);
        browser->show();
        // As a window opens: its activation gives its first control the focus.
        activated(browser.get());
        rendered = waitUntil([this] { return renders > 0; });
        runQueuedWork(); // the layouts the render asked for
    }

    ProjectCardGrid *grid() const { return browser->collectionView(); }

    // The share of the card list's height that shows cards.
    double cardsShare() const
    {
        const QWidget *viewport = grid()->viewport();
        QList<QRect> shown;
        for (const ProjectCardView *card : viewport->findChildren<ProjectCardView *>()) {
            if (card->isVisible())
                shown.append(card->geometry());
        }
        int rows = 0;
        for (int y = 0; y < viewport->height(); ++y) {
            rows += std::any_of(shown.cbegin(), shown.cend(), [y](const QRect &card) {
                return card.top() <= y && y <= card.bottom();
            });
        }
        return double(rows) / viewport->height();
    }

    ScopedApplicationFont font;
    BrowserWorld world;
    std::unique_ptr<TolvaranViewController> browser;
    bool refreshed = false;
    bool rendered = false;
    int renders = 0;
};

// The browser's room on small laptops' screens under a window manager, below its title bar
// and the menu (which grows with the text): as the window opens, the list starts at its first
// card, and the cards take at least half of it whether or not the bars scroll with them, and
// the focus the window's opening gives is on a control shown whole. A place the user scrolls
// to then stays through a resize.
TEST(ShortWindow, theListOpensOnItsFirstCardAndKeepsAScrolledPlaceOverAResize)
{
    const struct
    {
        const char *name;
        double points;
        QSize browser;
    } rows[] = {
        {"1024 by 600 at 10 pt", 10, QSize(1024, 552)},
        {"1024 by 600 at 15 pt", 15, QSize(1024, 546)},
        {"1024 by 600 at 20 pt", 20, QSize(1024, 538)},
        {"1366 by 768 at 10 pt", 10, QSize(1366, 720)},
        {"1366 by 768 at 15 pt", 15, QSize(1366, 714)},
        {"1366 by 768 at 20 pt", 20, QSize(1366, 706)},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        OpeningBrowser opened(row.points, row.browser);
        ASSERT_TRUE(opened.refreshed && opened.rendered);
        ProjectCardGrid *grid = opened.grid();
        EXPECT_GE(opened.cardsShare(), 0.5);
        ASSERT_NE(grid->cardAt(0), nullptr);
        EXPECT_GE(grid->cardAt(0)->y(), 0);
        EXPECT_LE(grid->cardAt(0)->y(), FontScale::scaled(16)); // the inset above the cards
        EXPECT_TRUE(shownWhole(QApplication::focusWidget()));

        const int place = grid->verticalScrollBar()->maximum() / 2;
        grid->verticalScrollBar()->setValue(place);
        opened.browser->resize(row.browser - QSize(0, 20));
        runQueuedWork();
        EXPECT_EQ(grid->scrollOffset(), place);
    }
}

// At the window's least width the usage figures wrap to a further row rather than lose their
// ends, the header grows by that row, and assistive technology reads each figure whole.
TEST(UsageStrip, showsEveryFigureWholeAtTheLeastWidth)
{
    // Figures as wide as they come, from Codex's own records: billions in all, tens of
    // millions in the last hour, the weekly allowance partly used.
    const auto withUsage = [](BrowserWorld &world) {
        const Timestamp now = Timestamp::now();
        FakeCodexThread thread;
        thread.id = QStringLiteral("heavy-user");
        thread.cwd = world.addProject(QStringLiteral("heavy"), 0);
        thread.title = QStringLiteral("Large work");
        thread.createdAt = now.addingSeconds(-300);
        thread.updatedAt = now.addingSeconds(-260);
        thread.recencyAt = thread.updatedAt;
        thread.tokensUsed = 4'180'000'000;
        rollout::TokenCount count;
        count.last.input = count.total.input = 41'560'000;
        count.secondary = rollout::RateWindow{41.5, 10080, now.addingSeconds(3 * 86400)};
        world.codex.addThread(thread);
        world.codex.writeRollout(
            thread.id, FakeCodexHome::threadOpening(thread.createdAt, thread.id, thread.cwd)
                           + FakeCodexHome::turn(thread.createdAt, QStringLiteral("Go"),
                                                 FakeTurnEnd::completed, count));
    };
    for (const double points : {10.0, 15.0}) {
        SCOPED_TRACE(points);
        OpeningBrowser opened(points, QSize(1280, 800), withUsage);
        ASSERT_TRUE(opened.refreshed && opened.rendered);
        const ProjectListViewModel &model = *opened.world.model;
        TolvaranViewController &browser = *opened.browser;
        auto *strip = browser.findChild<TokenUsageStrip *>();
        auto *header = browser.findChild<QWidget *>(QStringLiteral("header"));
        ASSERT_NE(strip, nullptr);
        // The token pass that reads the rollout ends after the window opened, and a render
        // then shows its figures.
        ASSERT_TRUE(waitUntil([&] {
            return model.tokenUsageSnapshot().weeklyAllowance && !model.isIndexingTokenUsage();
        }));
        const TokenUsageReport report = model.globalTokenUsage();
        ASSERT_EQ(report.lifetimeTokens, 4'180'000'000);
        ASSERT_EQ(report.lastHourTokens, 41'560'000);
        const WeeklyAllowanceLabel week =
            weeklyAllowanceLabel(model.tokenUsageSnapshot().weeklyAllowance);
        auto *weekLabel = strip->findChild<QLabel *>(QStringLiteral("usageWeekLabel"));
        ASSERT_NE(weekLabel, nullptr);
        ASSERT_TRUE(waitUntil([&] { return accessibleName(weekLabel) == week.text; }));
        browser.resize(std::max(TolvaranWindow::minimumWidth, browser.minimumSizeHint().width()),
                       800);
        runQueuedWork();

        const struct
        {
            const char *name;
            QString text;
        } figures[] = {
            {"usageTodayLabel", QStringLiteral("TODAY  ") + compactTokens(report.todayTokens)},
            {"usageHourLabel", QStringLiteral("1 HOUR  ") + compactTokens(report.lastHourTokens)},
            {"usageWeekLabel", week.text},
        };
        QList<QRect> taken;
        for (const auto &figure : figures) {
            SCOPED_TRACE(figure.name);
            auto *label = strip->findChild<QLabel *>(QLatin1String(figure.name));
            ASSERT_NE(label, nullptr);
            ASSERT_TRUE(label->isVisible());
            EXPECT_EQ(accessibleName(label), figure.text);
            EXPECT_GE(label->contentsRect().width(),
                      label->fontMetrics().horizontalAdvance(figure.text));
            const QRect area(label->mapTo(header, QPoint()), label->size());
            EXPECT_TRUE(header->rect().contains(area));
            EXPECT_TRUE(QRect(strip->mapTo(header, QPoint()), strip->size()).contains(area));
            for (const QRect &other : taken)
                EXPECT_FALSE(other.intersects(area));
            taken.append(area);
        }
        // The list controls below the strip keep their room.
        auto *toggle = header->findChild<QWidget *>(QStringLiteral("sidebarToggle"));
        EXPECT_GE(toggle->mapTo(header, QPoint()).y(), strip->mapTo(header, QPoint()).y()
                                                            + strip->height());
        EXPECT_LE(toggle->mapTo(header, QPoint()).y() + toggle->height(), header->height());
    }
}

} // namespace
