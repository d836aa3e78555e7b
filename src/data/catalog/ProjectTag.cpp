#include "data/catalog/ProjectTag.h"

#include <QCollator>

#include <algorithm>

namespace tolvaran {

void sortInTagOrder(QList<ProjectTag> &tags)
{
    // A collator is not safe to share between threads; one per call is cheap enough for the
    // handful of tags a user keeps.
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(tags.begin(), tags.end(), [&collator](const ProjectTag &a,
                                                            const ProjectTag &b) {
        return collator.compare(a.name, b.name) < 0;
    });
}

} // namespace tolvaran
