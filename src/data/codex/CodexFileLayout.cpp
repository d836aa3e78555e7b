#include "data/codex/CodexFileLayout.h"

#include <utility>

namespace tolvaran {

CodexFileLayout::CodexFileLayout(QString folder)
    : m_folder(std::move(folder))
{
}

QString CodexFileLayout::databasePath() const
{
    return m_folder + QLatin1Char('/') + databaseFileName;
}

QString CodexFileLayout::sessionIndexPath() const
{
    return m_folder + QLatin1Char('/') + sessionIndexFileName;
}

QString CodexFileLayout::globalStatePath() const
{
    return m_folder + QLatin1Char('/') + globalStateFileName;
}

bool CodexFileLayout::asksForFullRefresh(const QString &fileName)
{
    // SQLite's write-ahead log and its index change with every write, before the database
    // file itself does.
    return fileName == databaseFileName || fileName == databaseFileName + QLatin1String("-wal")
        || fileName == databaseFileName + QLatin1String("-shm") || fileName == globalStateFileName;
}

} // namespace tolvaran
