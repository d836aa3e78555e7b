#pragma once

#include "platform/desktop/FolderPickerRequest.h"
#include "platform/Timestamp.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace tolvaran {

class FolderPicker;
class KeyValueStore;
class ProjectCatalogStore;

// The first half of "New Project...": the dialog, the checks of the chosen name, the new
// folder itself, the remembered parent folder and the catalog's record of the project. What
// follows (the selected tag, the first chat, the refresh) is the caller's.
class NewProjectCreator final
{
public:
    // The user-defaults key of the folder in which the user last created a project.
    static inline const QString parentDirectoryKey =
        QStringLiteral("projects.lastCreationParentDirectory");

    // What became of one attempt. Both fields are absent when the user cancelled.
    struct Outcome
    {
        std::optional<QString> createdPath; // the new folder, standardised
        QString projectName;                // the folder's name, trimmed
        std::optional<QString> statusMessage; // why nothing was created

        friend bool operator==(const Outcome &, const Outcome &) = default;
    };
    using Completion = std::function<void(const Outcome &outcome)>;

    // Both stores must outlive the creator.
    NewProjectCreator(KeyValueStore &defaults, ProjectCatalogStore &catalog,
                      std::function<Timestamp()> now);

    // The folder the dialog starts in: the remembered parent folder while it exists as a
    // folder, else the user's documents folder when there is one.
    std::optional<QString> defaultParentDirectory() const;

    // What the dialog shows; `selectedTagName` is the tag the new project will get.
    FolderPickerRequest request(const std::optional<QString> &selectedTagName) const;

    // Shows the dialog through `picker` and creates the chosen folder; `completion` runs on
    // the thread of `context` once the user has answered, unless `context` is gone by then.
    void chooseAndCreate(FolderPicker &picker, const std::optional<QString> &selectedTagName,
                         QObject *context, Completion completion);

    // Creates the folder at `chosenPath` (absolute) without its parents: refused when its
    // trimmed name is empty or something already has that name. On success the parent folder
    // is remembered and the project recorded in the catalog (a catalog failure is ignored: the
    // next full refresh records it).
    Outcome create(const QString &chosenPath);

private:
    KeyValueStore &m_defaults;
    ProjectCatalogStore &m_catalog;
    const std::function<Timestamp()> m_now;
};

} // namespace tolvaran
