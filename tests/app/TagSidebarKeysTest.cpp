// The tag sidebar from the keyboard: Return in the new-tag field, the Tab order through its
// rows, and Tab while it floats over the cards.
#include "BrowserControlsTest.h"

#include "app/cards/ReadingOrderFocus.h"
#include "app/tags/TagSidebar.h"
#include "support/widgets/FocusStops.h"
#include "support/widgets/ScopedApplicationFont.h"

#include <QScrollArea>
#include <QScrollBar>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

class TagSidebarKeysTest : public BrowserControlsTest
{
protected:
    QStringList tagNames() const
    {
        QStringList names;
        for (const ProjectTag &tag : world.model->tags())
            names.append(tag.name);
        return names;
    }

    QWidget *focused() const { return QApplication::focusWidget(); }

    // The stops Tab (or Backtab) visits from the focus, one key at a time, up to the first
    // that is outside `region` or visited before; that one is not counted.
    QList<QWidget *> walk(QWidget *region, Qt::Key key, int limit = 100) const
    {
        QList<QWidget *> visited{focused()};
        for (int step = 0; step < limit; ++step) {
            QTest::keyClick(focused(), key);
            if (!region->isAncestorOf(focused()) || visited.contains(focused()))
                break;
            visited.append(focused());
        }
        return visited;
    }

    static QStringList describe(const QList<QWidget *> &widgets)
    {
        QStringList names;
        for (QWidget *widget : widgets)
            names.append(describeWidget(widget) + QLatin1Char(' ') + accessibleName(widget));
        return names;
    }
};

// Return and keypad Enter in "New tag" add the tag as "+" does: the field empties for the
// next name. A refused name keeps its text, with the reason below it.
TEST_F(TagSidebarKeysTest, returnInTheNewTagFieldAddsTheTagAsThePlusButtonDoes)
{
    makeBrowser(1200, true);
    ASSERT_TRUE(activated(browser.get()));
    auto *field = control<QLineEdit>("newTagField");
    field->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(field, QStringLiteral("Errands"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(tagNames(), QStringList{QStringLiteral("Errands")});
    EXPECT_TRUE(field->text().isEmpty());

    QTest::keyClicks(field, QStringLiteral("Work"));
    QTest::keyClick(field, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(tagNames(), (QStringList{QStringLiteral("Errands"), QStringLiteral("Work")}));
    EXPECT_TRUE(field->text().isEmpty());

    QTest::keyClicks(field, QStringLiteral("errands"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(tagNames(), (QStringList{QStringLiteral("Errands"), QStringLiteral("Work")}));
    EXPECT_EQ(field->text(), QStringLiteral("errands"));
    auto *sidebar = browser->findChild<TagSidebar *>();
    ASSERT_TRUE(sidebar->message().has_value());
    EXPECT_FALSE(sidebar->message()->isEmpty());
    EXPECT_TRUE(field->hasFocus());
}

// Shift+Tab walks the sidebar's stops in the forward order reversed, with its rows scrolled
// anywhere: eight tags at 15 points on a short window, where the rows scroll.
TEST_F(TagSidebarKeysTest, shiftTabWalksTheSidebarInTheForwardOrderReversed)
{
    ScopedApplicationFont font(15);
    makeBrowser(1600, true);
    for (int index = 1; index <= 8; ++index)
        world.model->addTag(QStringLiteral("Tag %1").arg(index));
    browser->resize(1600, 480);
    ASSERT_TRUE(settled());
    ASSERT_EQ(browser->sidebarPlacement(), TolvaranViewController::SidebarPlacement::docked);
    ASSERT_TRUE(activated(browser.get()));
    auto *rows = control<QScrollArea>("sidebarScrollView");
    ASSERT_TRUE(waitUntil([rows] { return rows->verticalScrollBar()->maximum() > 0; }))
        << "the rows do not scroll";
    auto *sidebar = control("sidebar");

    control("sidebarHideButton")->setFocus(Qt::TabFocusReason);
    const QList<QWidget *> forward = walk(sidebar, Qt::Key_Tab);
    // "Hide tags", "All Projects", eight rows of a tag and its actions, the field and "+".
    ASSERT_EQ(forward.size(), 20) << describe(forward).join(QStringLiteral("\n")).toStdString();
    EXPECT_EQ(forward.constLast(), control("addTagButton"));

    forward.constLast()->setFocus(Qt::TabFocusReason);
    const QList<QWidget *> backward = walk(sidebar, Qt::Key_Backtab);
    QList<QWidget *> reversed(forward.crbegin(), forward.crend());
    EXPECT_EQ(describe(backward), describe(reversed));
}

// While the sidebar floats over the cards, Tab and Shift+Tab go round its own controls, from
// wherever the focus is: nothing under it takes the focus. Escape puts it away and gives the
// focus back to the toggle that showed it.
TEST_F(TagSidebarKeysTest, whileTheSidebarFloatsTabStaysInIt)
{
    makeBrowser(760, false);
    for (const char *tag : {"Frontend", "Ops", "Research"})
        world.model->addTag(QLatin1String(tag));
    ASSERT_TRUE(settled());
    ASSERT_TRUE(activated(browser.get()));
    QWidget *toggle = control("sidebarToggle");
    toggle->setFocus(Qt::TabFocusReason);
    QTest::keyClick(toggle, Qt::Key_Space);
    ASSERT_TRUE(settled());
    ASSERT_EQ(browser->sidebarPlacement(), TolvaranViewController::SidebarPlacement::floating);
    auto *sidebar = control("sidebar");
    // The toggle lies under the sidebar: the focus went into it.
    EXPECT_TRUE(sidebar->isAncestorOf(focused())) << describeWidget(focused()).toStdString();

    const QList<QWidget *> stops = ReadingOrderFocus::stops(sidebar);
    ASSERT_EQ(stops.size(), 10); // "Hide tags", "All Projects", three tags and actions, field, +
    const auto uncovered = [&](QWidget *widget) {
        return sidebar->isAncestorOf(widget)
            || !QRect(widget->mapTo(browser.get(), QPoint()), widget->size())
                    .intersects(sidebar->geometry());
    };
    for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
        SCOPED_TRACE(key == Qt::Key_Tab ? "Tab" : "Backtab");
        // From the search field, whose end shows beside the sidebar, as much as from inside.
        for (QWidget *start : {control("searchField"), stops.constFirst()}) {
            start->setFocus(Qt::MouseFocusReason);
            QList<QWidget *> visited;
            for (int step = 0; step < 2 * stops.size(); ++step) {
                QTest::keyClick(focused(), key);
                EXPECT_TRUE(sidebar->isAncestorOf(focused()) && uncovered(focused()))
                    << describeWidget(focused()).toStdString();
                if (!visited.contains(focused()))
                    visited.append(focused());
            }
            EXPECT_EQ(visited.size(), stops.size());
        }
    }

    QTest::keyClick(focused(), Qt::Key_Escape);
    ASSERT_TRUE(settled());
    EXPECT_EQ(browser->sidebarPlacement(), TolvaranViewController::SidebarPlacement::hidden);
    EXPECT_EQ(focused(), toggle) << describeWidget(focused()).toStdString();
}

} // namespace
