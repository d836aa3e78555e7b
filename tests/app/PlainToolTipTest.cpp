// What a screen reader hears beside a tooltip of text from outside: the text as typed, never
// the escaped copy the tooltip holds for Qt's markup reader; and a description a widget was
// given on purpose stays its own.
#include "app/cards/ProjectCardView.h"
#include "support/widgets/ShownText.h"
#include "widgets/ElidingLabel.h"
#include "widgets/PlainText.h"

#include <QCoreApplication>
#include <QLabel>

#include <gtest/gtest.h>

#include <functional>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

// Longer than the narrow label below at any font size.
QString longText(const QString &typed)
{
    return typed + QLatin1Char(' ') + QString(80, QLatin1Char('w'));
}

// Whether the tooltip shows, and the description reads, `text` (both empty for none).
::testing::AssertionResult tipAndDescriptionRead(const QWidget &widget, const QString &text)
{
    const QString shown = shownText(widget.toolTip());
    const QString description = accessibleDescription(widget);
    if (shown == text && description == text)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "tooltip shows \"" << shown.toStdString() << "\", description reads \""
           << description.toStdString() << "\", not \"" << text.toStdString() << '"';
}

} // namespace

TEST(PlainToolTip, aCutLabelIsDescribedAsTypedAndLosesBothOnceItFits)
{
    for (const QString &typed : markupSamples()) {
        SCOPED_TRACE(typed.toStdString());
        QWidget window;
        auto *label = new ElidingLabel(&window);
        label->setToolTipWhenCut(true);
        label->resize(80, 30);
        window.show();
        const QString whole = longText(typed);
        label->setText(whole);
        EXPECT_TRUE(tipAndDescriptionRead(*label, whole));

        label->resize(4000, 30);
        EXPECT_TRUE(tipAndDescriptionRead(*label, QString()));
        label->resize(80, 30);
        EXPECT_TRUE(tipAndDescriptionRead(*label, whole));

        // A new text that fits.
        label->setText(typed.left(1));
        label->resize(400, 30);
        EXPECT_TRUE(tipAndDescriptionRead(*label, QString()));
        // Too many lines is cut too, whatever the width.
        label->setText(typed + QStringLiteral("\nsecond line"));
        EXPECT_TRUE(tipAndDescriptionRead(*label, typed + QStringLiteral("\nsecond line")));
    }
}

// A widget with a description of its own (set before or after the tooltip) keeps it through
// tooltips set and cleared; one whose own description is taken away is described by its
// tooltip again.
TEST(PlainToolTip, aDescriptionOfTheWidgetsOwnIsKept)
{
    const QString typed = QStringLiteral("<b>x</b>");
    const QString own = QStringLiteral("Pinned");
    struct Case
    {
        const char *name;
        std::function<void(QLabel &)> steps;
        QString description;
        QString tip;
    };
    const QList<Case> cases{
        {"own description first, then a tooltip",
         [&](QLabel &label) {
             label.setAccessibleDescription(own);
             setPlainToolTip(&label, typed);
         },
         own, typed},
        {"own description first, then a tooltip set and cleared",
         [&](QLabel &label) {
             label.setAccessibleDescription(own);
             setPlainToolTip(&label, typed);
             setPlainToolTip(&label, QString());
         },
         own, QString()},
        {"a tooltip, then an own description, then another tooltip",
         [&](QLabel &label) {
             setPlainToolTip(&label, QStringLiteral("first"));
             label.setAccessibleDescription(own);
             setPlainToolTip(&label, typed);
         },
         own, typed},
        {"an own description taken away",
         [&](QLabel &label) {
             label.setAccessibleDescription(own);
             setPlainToolTip(&label, QStringLiteral("first"));
             label.setAccessibleDescription(QString());
             setPlainToolTip(&label, typed);
         },
         typed, typed},
        {"one tooltip after another",
         [&](QLabel &label) {
             setPlainToolTip(&label, QStringLiteral("first"));
             setPlainToolTip(&label, typed);
         },
         typed, typed},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        QLabel label;
        row.steps(label);
        EXPECT_EQ(shownText(label.toolTip()), row.tip);
        EXPECT_EQ(accessibleDescription(label), row.description);
    }
}

// The grid hands a card from one project to the next: no description may still read what the
// card showed of the first.
TEST(PlainToolTip, aCardConfiguredForAnotherProjectIsDescribedByItAlone)
{
    const QString typed = QStringLiteral("<b>x</b>");
    BrowserCardModel first;
    first.project.path = QStringLiteral("/work/") + typed;
    first.assignedTags = {{QUuid::createUuid(), typed}};
    TeamProjectPeer peer;
    peer.memberName = typed;
    peer.project.changedFiles = {typed};
    first.teamSummary = TeamProjectSummary{{peer}};
    first.teamNames = {typed};
    ProjectGitStatus status;
    status.upstream = typed;
    status.behindCount = 2;
    first.gitStatus = status;
    BrowserCardModel second;
    second.project.path = QStringLiteral("/work/plain");

    ProjectCardView card;
    card.configure(first, {});
    card.configure(second, {});
    // The first project's status chips go once control returns to the event loop.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QStringList stale;
    for (const QWidget *widget : card.findChildren<QWidget *>()) {
        if (accessibleDescription(*widget).contains(typed))
            stale.append(widget->objectName());
    }
    EXPECT_TRUE(stale.isEmpty()) << stale.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(describesAsTyped(card, second.project.path));
}
