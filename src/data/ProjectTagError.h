#pragma once

#include "platform/Error.h"

namespace tolvaran {

// A rejected or failed tag change, with the sentence the window shows for it. The store
// raises only storageFailure; the other cases are the coordinator's name checks.
class ProjectTagError final : public Error
{
public:
    enum class Kind {
        emptyName,
        nameTooLong,
        duplicateName,
        storageFailure,
    };

    explicit ProjectTagError(Kind kind);

    Kind kind() const noexcept { return m_kind; }

private:
    Kind m_kind;
};

} // namespace tolvaran
