#pragma once

#include "app/cards/BrowserCardModel.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace tolvaran {

// What one render does to the card grid, decided from the page's new card models and what the
// grid was last given. When the page's ids (or their order) changed, the grid's contents are
// replaced and it scrolls to the top; otherwise only the cards whose model changed are
// reloaded, in place, and the scroll position stays. No change at all touches nothing.
struct CardReconciliation
{
    QHash<QString, BrowserCardModel> models; // the new model of every id of the page
    QStringList identifiers;                 // the page's ids in display order
    bool replacesContents = false;
    QList<qsizetype> reloadedIndexes;        // positions to reload, when not replacing

    // Compares `pageModels` (in display order) with the `previousModels` the cards were last
    // configured with and the `displayedIdentifiers` the grid holds. An id counts as changed
    // when it is in only one of the two model maps or its models differ.
    // The page's models are moved into the result, not copied: a page of thousands of cards
    // is rebuilt on every render.
    static CardReconciliation reconcile(const QHash<QString, BrowserCardModel> &previousModels,
                                        const QStringList &displayedIdentifiers,
                                        QList<BrowserCardModel> pageModels);
};

} // namespace tolvaran
