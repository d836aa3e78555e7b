#include "support/team/TeamProjectRepositories.h"

namespace tolvaran::fixtures {

QString teamProjectRemote(const QString &name)
{
    return QStringLiteral("https://example.com/core/%1.git").arg(name);
}

GitRepositoryBuilder makeTeamProjectRepository(const QString &path, const QString &name)
{
    GitRepositoryBuilder repository(path);
    repository.git({QStringLiteral("remote"), QStringLiteral("add"), QStringLiteral("origin"),
                    teamProjectRemote(name)});
    repository.writeFile(QStringLiteral("README.md"), "# " + name.toUtf8() + "\n");
    repository.commitAll(QStringLiteral("Start"));
    return repository;
}

LocalTeamProjectSource teamProjectSource(const GitRepositoryBuilder &repository,
                                         const QString &name)
{
    LocalTeamProjectSource source;
    source.path = repository.path();
    source.gitOriginURL = teamProjectRemote(name);
    source.canDiscoverGitOrigin = true;
    return source;
}

} // namespace tolvaran::fixtures
