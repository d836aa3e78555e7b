#include "data/catalog/ProjectCatalogError.h"

namespace tolvaran {

QString errorMessage(ProjectCatalogErrorKind kind)
{
    switch (kind) {
    case ProjectCatalogErrorKind::databaseOpenFailed:
        return QStringLiteral("Could not open Tolvaran's project catalog.");
    case ProjectCatalogErrorKind::databaseReadFailed:
        return QStringLiteral("Could not read Tolvaran's project catalog.");
    case ProjectCatalogErrorKind::databaseWriteFailed:
        return QStringLiteral("Could not update Tolvaran's project catalog.");
    }
    Q_UNREACHABLE();
    return {};
}

} // namespace tolvaran
