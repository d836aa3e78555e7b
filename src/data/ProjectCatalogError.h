#pragma once

#include "platform/Error.h"

namespace tolvaran {

// A failure of the project catalog, with the sentence the window shows for it. The cause
// (SQLite's own message) goes to the log only.
class ProjectCatalogError final : public Error
{
public:
    enum class Kind {
        databaseOpenFailed,
        databaseReadFailed,
        databaseWriteFailed,
    };

    explicit ProjectCatalogError(Kind kind);

    Kind kind() const noexcept { return m_kind; }

private:
    Kind m_kind;
};

} // namespace tolvaran
