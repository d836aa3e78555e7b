#pragma once

#include <QString>

namespace tolvaran {

// How the team feature recognises a repository across clones: `id` is the lower-case hex
// SHA-256 of the normalised origin remote (what devices compare), `name` its last path
// component, cut to 120 characters, for display.
struct RepositoryIdentity
{
    QString id;
    QString name;

    friend bool operator==(const RepositoryIdentity &, const RepositoryIdentity &) = default;
};

} // namespace tolvaran
