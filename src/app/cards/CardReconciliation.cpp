#include "app/cards/CardReconciliation.h"

namespace tolvaran {

CardReconciliation CardReconciliation::reconcile(
    const QHash<QString, BrowserCardModel> &previousModels,
    const QStringList &displayedIdentifiers, QList<BrowserCardModel> pageModels)
{
    CardReconciliation result;
    result.models.reserve(pageModels.size());
    result.identifiers.reserve(pageModels.size());
    for (BrowserCardModel &model : pageModels) {
        result.identifiers.append(model.project.id);
        result.models.insert(model.project.id, std::move(model));
    }
    if (result.identifiers != displayedIdentifiers) {
        result.replacesContents = true;
        return result;
    }
    for (qsizetype index = 0; index < result.identifiers.size(); ++index) {
        const QString &id = result.identifiers.at(index);
        const auto previous = previousModels.constFind(id);
        const auto current = result.models.constFind(id);
        const bool inPrevious = previous != previousModels.constEnd();
        const bool inCurrent = current != result.models.constEnd();
        if (inPrevious != inCurrent || (inPrevious && !(*previous == *current)))
            result.reloadedIndexes.append(index);
    }
    return result;
}

} // namespace tolvaran
