#include "data/catalog/ProjectTagError.h"

namespace tolvaran {

QString errorMessage(ProjectTagErrorKind kind)
{
    switch (kind) {
    case ProjectTagErrorKind::emptyName:
        return QStringLiteral("Enter a tag name.");
    case ProjectTagErrorKind::nameTooLong:
        return QStringLiteral("Tag names must be 40 characters or fewer.");
    case ProjectTagErrorKind::duplicateName:
        return QStringLiteral("A tag with that name already exists.");
    case ProjectTagErrorKind::storageFailure:
        return QStringLiteral("The tag changes could not be saved.");
    }
    Q_UNREACHABLE();
    return {};
}

} // namespace tolvaran
