#include "app/cards/CardReconciliation.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace tolvaran;

namespace {

BrowserCardModel card(const QString &id)
{
    BrowserCardModel model;
    model.project.id = id;
    model.project.path = id;
    model.project.name = id.mid(1);
    return model;
}

QHash<QString, BrowserCardModel> byID(const QList<BrowserCardModel> &models)
{
    QHash<QString, BrowserCardModel> map;
    for (const BrowserCardModel &model : models)
        map.insert(model.project.id, model);
    return map;
}

} // namespace

TEST(CardReconciliation, decidesBetweenReplacingReloadingAndNothing)
{
    const QList<BrowserCardModel> page{card("/a"), card("/b"), card("/c")};
    const QStringList shown{"/a", "/b", "/c"};

    const CardReconciliation first = CardReconciliation::reconcile({}, {}, page);
    EXPECT_TRUE(first.replacesContents);
    EXPECT_EQ(first.identifiers, shown);
    EXPECT_EQ(first.models.size(), 3);

    const CardReconciliation same = CardReconciliation::reconcile(byID(page), shown, page);
    EXPECT_FALSE(same.replacesContents);
    EXPECT_TRUE(same.reloadedIndexes.isEmpty());

    QList<BrowserCardModel> selectionMoved = page;
    selectionMoved[0].isSelected = false;
    selectionMoved[2].isSelected = true;
    QList<BrowserCardModel> selected = page;
    selected[0].isSelected = true;
    const CardReconciliation moved =
        CardReconciliation::reconcile(byID(selected), shown, selectionMoved);
    EXPECT_FALSE(moved.replacesContents);
    EXPECT_EQ(moved.reloadedIndexes, (QList<qsizetype>{0, 2}));
    EXPECT_TRUE(moved.models.value("/c").isSelected);

    const CardReconciliation reordered = CardReconciliation::reconcile(
        byID(page), shown, {card("/b"), card("/a"), card("/c")});
    EXPECT_TRUE(reordered.replacesContents);
    EXPECT_EQ(reordered.identifiers, (QStringList{"/b", "/a", "/c"}));

    const CardReconciliation shorter =
        CardReconciliation::reconcile(byID(page), shown, {card("/a"), card("/b")});
    EXPECT_TRUE(shorter.replacesContents);

    // A card the grid shows without a stored model is reloaded.
    QHash<QString, BrowserCardModel> missing = byID(page);
    missing.remove("/b");
    EXPECT_EQ(CardReconciliation::reconcile(missing, shown, page).reloadedIndexes,
              QList<qsizetype>{1});
}
