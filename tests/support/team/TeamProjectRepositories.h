#pragma once

#include "data/git/LocalTeamProjectSource.h"
#include "support/GitRepositoryBuilder.h"

#include <QString>

namespace tolvaran::fixtures {

// Repositories that stand for this device's projects on a team: each has an origin named
// after the project, so the team knows it by that name.

// The origin of the project `name`.
QString teamProjectRemote(const QString &name);
// Makes the repository of the project `name` at `path`: its origin and one commit ("Start",
// a README).
GitRepositoryBuilder makeTeamProjectRepository(const QString &path, const QString &name);
// The project list's entry for `repository`, made for `name`, with its origin known.
LocalTeamProjectSource teamProjectSource(const GitRepositoryBuilder &repository,
                                         const QString &name);

} // namespace tolvaran::fixtures
