#include "coordinator/actions/NewProjectCreator.h"

#include "data/catalog/ProjectCatalogStore.h"
#include "platform/desktop/FolderPicker.h"
#include "platform/storage/KeyValueStore.h"
#include "coordinator/CoordinatorLogging.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QStandardPaths>

#include <cerrno>
#include <sys/stat.h>

namespace tolvaran {

namespace {

bool isFolder(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

QString lastComponent(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString parentOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

// Creates exactly one folder (never its parents, unlike QDir::mkpath) and gives the system's
// reason when it cannot, which QDir::mkdir does not.
std::optional<QString> makeFolder(const QString &path)
{
    if (::mkdir(QFile::encodeName(path).constData(), 0777) == 0)
        return std::nullopt;
    return qt_error_string(errno);
}

} // namespace

NewProjectCreator::NewProjectCreator(KeyValueStore &defaults, ProjectCatalogStore &catalog,
                                     std::function<Timestamp()> now)
    : m_defaults(defaults)
    , m_catalog(catalog)
    , m_now(std::move(now))
{
}

std::optional<QString> NewProjectCreator::defaultParentDirectory() const
{
    const QString remembered = m_defaults.string(parentDirectoryKey);
    if (isFolder(remembered))
        return remembered;
    const QString documents =
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (isFolder(documents))
        return documents;
    return std::nullopt;
}

FolderPickerRequest NewProjectCreator::request(
    const std::optional<QString> &selectedTagName) const
{
    FolderPickerRequest request;
    request.title = QStringLiteral("Create Codex Project");
    request.message = selectedTagName
                          ? QStringLiteral("The new project will be tagged ") + *selectedTagName
                                + QStringLiteral(" and opened in Codex.")
                          : QStringLiteral("The new project will be opened in Codex.");
    request.nameFieldLabel = QStringLiteral("Project name:");
    request.initialName = QStringLiteral("New Project");
    request.confirmButtonTitle = QStringLiteral("Create");
    request.startingFolder = defaultParentDirectory();
    request.canCreateFolders = true;
    return request;
}

void NewProjectCreator::chooseAndCreate(FolderPicker &picker,
                                        const std::optional<QString> &selectedTagName,
                                        QObject *context, Completion completion)
{
    picker.chooseNewFolder(
        request(selectedTagName),
        [this, guard = QPointer<QObject>(context),
         completion = std::move(completion)](const std::optional<QString> &chosen) {
            // The dialog may answer long after it was shown: the creator lives as long as
            // its context, so the context being alive means the creator is too.
            if (!guard)
                return;
            completion(chosen ? create(*chosen) : Outcome{});
        });
}

NewProjectCreator::Outcome NewProjectCreator::create(const QString &chosenPath)
{
    Outcome outcome;
    // A relative path would land wherever the program happens to run: not a choice the
    // dialog can make, so it counts as no choice.
    if (!QDir::isAbsolutePath(chosenPath))
        return outcome;
    const QString path = standardizedPath(chosenPath);
    const QString name = lastComponent(path).trimmed();
    if (name.isEmpty()) {
        outcome.statusMessage = QStringLiteral("Enter a project name.");
        return outcome;
    }
    // A dialog may have confirmed replacing what is there; a project never replaces anything.
    const QFileInfo existing(path);
    if (existing.exists() || existing.isSymLink()) {
        outcome.statusMessage = (existing.isDir() ? QStringLiteral("A folder named ")
                                                  : QStringLiteral("A file named "))
                                + name + QStringLiteral(" already exists.");
        return outcome;
    }
    if (const std::optional<QString> reason = makeFolder(path)) {
        outcome.statusMessage = QStringLiteral("Could not create ") + name
                                + QStringLiteral(": ") + *reason + QLatin1Char('.');
        return outcome;
    }

    m_defaults.setValue(parentDirectoryKey, parentOf(path));
    try {
        m_catalog.rememberProject(path, name, m_now());
    } catch (const std::exception &error) {
        qCWarning(lcCoordinator) << "The new project was not recorded in the catalog:"
                              << error.what();
    }
    outcome.createdPath = path;
    outcome.projectName = name;
    return outcome;
}

} // namespace tolvaran
