#include "data/ProjectCatalogError.h"

namespace tolvaran {

namespace {

QString messageFor(ProjectCatalogError::Kind kind)
{
    switch (kind) {
    case ProjectCatalogError::Kind::databaseOpenFailed:
        return QStringLiteral("Could not open Tolvaran's project catalog.");
    case ProjectCatalogError::Kind::databaseReadFailed:
        return QStringLiteral("Could not read Tolvaran's project catalog.");
    case ProjectCatalogError::Kind::databaseWriteFailed:
        return QStringLiteral("Could not update Tolvaran's project catalog.");
    }
    Q_UNREACHABLE();
    return {};
}

} // namespace

ProjectCatalogError::ProjectCatalogError(Kind kind)
    : Error(messageFor(kind))
    , m_kind(kind)
{
}

} // namespace tolvaran
