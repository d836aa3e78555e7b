#include "data/ProjectTagError.h"

namespace tolvaran {

namespace {

QString messageFor(ProjectTagError::Kind kind)
{
    switch (kind) {
    case ProjectTagError::Kind::emptyName:
        return QStringLiteral("Enter a tag name.");
    case ProjectTagError::Kind::nameTooLong:
        return QStringLiteral("Tag names must be 40 characters or fewer.");
    case ProjectTagError::Kind::duplicateName:
        return QStringLiteral("A tag with that name already exists.");
    case ProjectTagError::Kind::storageFailure:
        return QStringLiteral("The tag changes could not be saved.");
    }
    Q_UNREACHABLE();
    return {};
}

} // namespace

ProjectTagError::ProjectTagError(Kind kind)
    : Error(messageFor(kind))
    , m_kind(kind)
{
}

} // namespace tolvaran
