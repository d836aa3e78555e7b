// The Overview at the pane's least width and in windows of common screens, at 10, 15 and 20
// points, with every section it can show and figures as long as they come: each section shows
// whole in the view's width, the usage card's rows wrapping where they do not fit on one line;
// the teammates' table, which cannot wrap, scrolls sideways in an area of its own where it does
// not fit; where the pane cannot be as wide as its least width, the Overview scrolls sideways;
// and Tab to the usage chart shows the chart from its left edge.
#include "app/BrowserWorld.h"
#include "data/git/ProjectRepositoryStore.h"
#include "detail/DetailHeader.h"
#include "detail/ProjectDetailView.h"
#include "detail/ProjectDetailViewModel.h"
#include "detail/sections/BehindWarning.h"
#include "detail/sections/TeamActivitySection.h"
#include "detail/sections/TeamUsageSection.h"
#include "detail/sections/TokenUsageChart.h"
#include "detail/sections/TokenUsageSection.h"
#include "support/GitRepositoryBuilder.h"
#include "support/WaitUntil.h"
#include "support/codex/RolloutLines.h"
#include "support/team/FixedTeamViewSource.h"
#include "support/widgets/FocusStops.h"
#include "support/widgets/ScopedApplicationFont.h"
#include "support/widgets/ScopedFocusIndicatorStyle.h"
#include "widgets/ElidingLabel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

// A project one commit behind its upstream (so the Branch and Upstream tiles and the behind
// warning show) whose usage runs to hundreds of millions of tokens, and teammates whose values
// a test hands over when it likes.
class OverviewWorld
{
public:
    OverviewWorld()
    {
        path = world.addProject(QStringLiteral("alpha"), 2);
        const QString remote = world.home.filePath(QStringLiteral("remote.git"));
        GitRepositoryBuilder::bare(remote);
        GitRepositoryBuilder seed =
            GitRepositoryBuilder::clone(remote, world.home.filePath(QStringLiteral("seed")));
        seed.writeFile(QStringLiteral("a.txt"), "a");
        seed.commitAll(QStringLiteral("First"));
        seed.git({QStringLiteral("push"), QStringLiteral("origin"), QStringLiteral("main")});
        QDir(path).removeRecursively();
        GitRepositoryBuilder project = GitRepositoryBuilder::clone(remote, path);
        seed.writeFile(QStringLiteral("a.txt"), "b");
        seed.commitAll(QStringLiteral("Second"));
        seed.git({QStringLiteral("push"), QStringLiteral("origin"), QStringLiteral("main")});
        project.git({QStringLiteral("fetch"), QStringLiteral("origin")});

        rollout::TokenCount count;
        count.last = {123'456'789, 98'765'432, 12'345'678, 0};
        count.total = count.last;
        world.codex.appendRolloutLines(
            QStringLiteral("alpha-0"),
            rollout::tokenCount(Timestamp::now().addingSeconds(-3600), count));
        world.makeModel();
    }

    bool refresh()
    {
        const ProjectListViewModel &coordinator = *world.model;
        return world.refresh() && waitUntil([&] {
                   return coordinator.tokenUsage(path).indexedTokens > 0
                       && !coordinator.isIndexingTokenUsage();
               });
    }

    std::unique_ptr<ProjectDetailViewModel> makeModel()
    {
        auto model = std::make_unique<ProjectDetailViewModel>(
            *world.model->project(path), *world.model,
            ProjectDetailViewModel::repositoryLoader(store));
        model->followTeam(teamViews, world.team);
        return model;
    }

    // A teammate with a long name in every team section.
    void teammatesArrive()
    {
        const QString name = QStringLiteral("Margaret Hamilton-Wellington");
        TeamProjectUsageMember member;
        member.memberName = name;
        member.usage.lifetimeTokens = 987'654'321;
        member.usage.weeklyTokens = 123'456'789;
        member.usage.weeklyAllowancePercent = 42.5;
        member.usage.lifetimePlanCost = 12'345.67;
        teamViews.usageSummaries.insert(path, {{member}});
        TeamProjectPeer peer;
        peer.deviceId = QStringLiteral("margaret-laptop");
        peer.memberName = name;
        peer.conflictLevel = TeamConflictLevel::caution;
        peer.project.isDirty = true;
        peer.project.changedFiles = {QStringLiteral("src/parser/ExpressionParser.cpp")};
        peer.overlappingFiles = peer.project.changedFiles;
        teamViews.summaries.insert(path, {{peer}});
        SharedProjectState activity;
        activity.isDirty = true;
        activity.additions = 1234;
        activity.changedFiles = {QStringLiteral("src/parser/ExpressionParser.cpp")};
        activity.workSummary = QStringLiteral("Rewriting the expression parser");
        teamViews.localActivities.insert(path, activity);
        Q_EMIT world.team.usageSummariesChanged();
        Q_EMIT world.team.projectSummariesChanged();
        Q_EMIT world.team.localActivityChanged();
    }

    void teammatesLeave()
    {
        teamViews.usageSummaries.clear();
        teamViews.summaries.clear();
        teamViews.localActivities.clear();
    }

    BrowserWorld world;
    ProjectRepositoryStore store;
    FixedTeamViewSource teamViews;
    QString path;
};

QString nameOf(const QWidget *widget)
{
    return QString::fromLatin1(widget->metaObject()->className()) + QLatin1Char(' ')
        + widget->objectName();
}

// The shown widgets inside `content` that lie partly outside `bounds` (in `content`'s
// coordinates), or are narrower than their text: a button or a label that does not elide.
// What a scroll area inside `content` holds shows as that area scrolls it.
QStringList cutParts(const QWidget *content, const QRect &bounds)
{
    QStringList cut;
    for (const QWidget *child : content->findChildren<QWidget *>()) {
        const QWidget *above = child->parentWidget();
        while (above != content && !qobject_cast<const QAbstractScrollArea *>(above))
            above = above->parentWidget();
        if (!child->isVisible() || above != content)
            continue;
        const QRect area(child->mapTo(content, QPoint()), child->size());
        if (area.left() < bounds.left() || area.right() > bounds.right())
            cut.append(nameOf(child) + QStringLiteral(" outside"));
        const bool hasText = qobject_cast<const QAbstractButton *>(child)
            || (qobject_cast<const QLabel *>(child) && !qobject_cast<const ElidingLabel *>(child));
        if (hasText && child->width() < child->minimumSizeHint().width())
            cut.append(nameOf(child) + QStringLiteral(" squeezed"));
    }
    return cut;
}

// What of the Overview does not show whole in the width of its viewport.
QStringList cutSideways(const QScrollArea *overview)
{
    const QWidget *content = overview->widget();
    const QRect shown(content->mapFrom(overview->viewport(), QPoint()),
                      overview->viewport()->size());
    return cutParts(content, QRect(shown.left(), 0, shown.width(), content->height()));
}

void settle()
{
    for (int turn = 0; turn < 3; ++turn)
        QCoreApplication::processEvents();
}

} // namespace

TEST(DetailLeastWidth, everyOverviewSectionShowsWholeInTheViewsWidth)
{
    OverviewWorld world;
    ASSERT_TRUE(world.refresh());
    // The pane at its least width, then as wide as windows on common screens.
    const QList<QSize> windows{{0, 700}, {800, 600}, {1024, 600}, {1366, 768}};
    for (const double points : {10.0, 15.0, 20.0}) {
        ScopedApplicationFont font(points);
        world.teammatesLeave();
        auto model = world.makeModel();
        ProjectDetailView view(*model, {});
        view.show();
        ASSERT_TRUE(waitUntil([&] {
            return view.tokenUsageSection()->isShowingChart() && view.behindWarning()->isVisible();
        }));
        QScrollArea *overview = view.scrollArea(ProjectDetailTab::overview);
        for (const bool teammates : {false, true}) {
            if (teammates) {
                world.teammatesArrive();
                ASSERT_TRUE(waitUntil([&] { return view.teamActivitySection()->isVisible(); }));
                settle();
            }
            for (const QSize &window : windows) {
                SCOPED_TRACE(testing::Message() << points << " points, " << window.width()
                                                << (teammates ? " with teammates" : ""));
                const int least = view.minimumSizeHint().width();
                const int width = window.width() ? window.width() : least;
                EXPECT_LE(overview->minimumSizeHint().width(), width);
                view.setMinimumWidth(width);
                view.resize(width, window.height());
                settle();
                EXPECT_EQ(overview->horizontalScrollBar()->maximum(), 0);
                EXPECT_EQ(cutSideways(overview), QStringList());
                if (teammates) {
                    const auto *area = view.teamUsageSection()->findChild<QScrollArea *>();
                    ASSERT_NE(area, nullptr);
                    const QWidget *table = area->widget();
                    EXPECT_GE(area->viewport()->width() + area->horizontalScrollBar()->maximum(),
                              table->width());
                    EXPECT_GE(area->viewport()->height(), table->height());
                    EXPECT_EQ(cutParts(table, table->rect()), QStringList());
                }
            }
        }
    }
}

// At 15 points, with figures of hundreds of millions, the usage card is narrower than its title
// beside the period picker and than its token split on one line: those rows wrap, and in the
// card's least width every part of it shows whole.
TEST(DetailLeastWidth, theUsageCardsRowsWrapRatherThanWidenIt)
{
    OverviewWorld world;
    ASSERT_TRUE(world.refresh());
    ScopedApplicationFont font(15);
    TokenUsageSection usage(*world.world.model, world.path);
    usage.resize(1000, 600);
    usage.show();
    ASSERT_TRUE(waitUntil([&] { return usage.isShowingChart(); }));
    settle();

    const auto widthOf = [&](const char *name) {
        const QWidget *part = usage.findChild<QWidget *>(QLatin1String(name));
        return part ? part->sizeHint().width() : 0;
    };
    int split = widthOf("usageIndexed");
    for (const QLabel *part : usage.findChildren<QLabel *>(QStringLiteral("usageBreakdown")))
        split += part->sizeHint().width();

    usage.resize(100, 600);
    settle();
    EXPECT_LT(usage.width(), widthOf("sectionTitle") + widthOf("tokenUsagePeriod"));
    EXPECT_LT(usage.width(), split);
    EXPECT_EQ(cutParts(&usage, usage.rect()), QStringList());
}

// Tab from the period picker reaches the chart and shows it whole at the pane's least width;
// in a pane narrower than that (a screen too small for it), the Overview scrolls sideways and
// the chart shows from its left edge.
TEST(DetailLeastWidth, tabToTheUsageChartShowsItFromItsLeftEdge)
{
    ScopedFocusIndicatorStyle style;
    OverviewWorld world;
    ASSERT_TRUE(world.refresh());
    ScopedApplicationFont font(15);
    world.teammatesArrive();
    auto model = world.makeModel();
    ProjectDetailView view(*model, {});
    view.resize(200, 546);
    view.show();
    QApplication::setActiveWindow(&view);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    TokenUsageSection *usage = view.tokenUsageSection();
    ASSERT_TRUE(waitUntil([&] {
        return usage->isShowingChart() && view.teamActivitySection()->isVisible();
    }));
    settle();

    QScrollArea *overview = view.scrollArea(ProjectDetailTab::overview);
    TokenUsageChart *chart = usage->chart();
    const auto chartLeft = [&] { return chart->mapTo(overview->viewport(), QPoint()).x(); };
    const auto tabToChart = [&] {
        const QList<QAbstractButton *> segments =
            usage->findChild<QWidget *>(QStringLiteral("tokenUsagePeriod"))
                ->findChildren<QAbstractButton *>();
        segments.last()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(segments.last(), Qt::Key_Tab);
        return QApplication::focusWidget() == chart;
    };
    ASSERT_TRUE(tabToChart());
    EXPECT_EQ(overview->horizontalScrollBar()->value(), 0);
    EXPECT_GE(chartLeft(), 0);
    EXPECT_LE(chartLeft() + chart->width(), overview->viewport()->width());

    // Before the picker, the teammates' table, wider than the pane: the keyboard scrolls it to
    // its last column, and the area shows that it holds the focus.
    auto *table = view.teamUsageSection()->findChild<QScrollArea *>();
    while (usage->isAncestorOf(QApplication::focusWidget()))
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    ASSERT_EQ(QApplication::focusWidget(), table);
    QTest::keyClick(table, Qt::Key_End);
    EXPECT_EQ(table->horizontalScrollBar()->value(), table->horizontalScrollBar()->maximum());
    EXPECT_GT(table->horizontalScrollBar()->value(), 0);
    EXPECT_EQ(accessibleName(table), QStringLiteral("Team Project Usage"));
    EXPECT_TRUE(showsFocus(table));

    // The window's least width gives way to a screen narrower than it.
    view.header()->controls().first()->setFocus(Qt::BacktabFocusReason);
    const int least = view.minimumSizeHint().width();
    view.setMinimumWidth(least - 150);
    view.resize(least - 150, 546);
    // The pane lays out again in a later turn, later still on a busy machine.
    ASSERT_TRUE(waitUntil([&] { return overview->horizontalScrollBar()->maximum() > 0; }));
    EXPECT_EQ(cutParts(overview->widget(), overview->widget()->rect()), QStringList());
    overview->horizontalScrollBar()->setValue(overview->horizontalScrollBar()->maximum());
    ASSERT_TRUE(tabToChart());
    EXPECT_GE(chartLeft(), 0);
    EXPECT_LE(chartLeft(), 8) << "the chart's left edge, with room for its focus frame at most";
}
