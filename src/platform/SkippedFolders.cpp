#include "platform/SkippedFolders.h"

#include <algorithm>
#include <array>

namespace tolvaran {

namespace {

const std::array skippedFolderNames{
    QStringLiteral(".build"),       QStringLiteral(".gradle"),       QStringLiteral(".mypy_cache"),
    QStringLiteral(".next"),        QStringLiteral(".pytest_cache"), QStringLiteral(".swiftpm"),
    QStringLiteral(".tox"),         QStringLiteral(".venv"),         QStringLiteral("__pycache__"),
    QStringLiteral("build"),        QStringLiteral("coverage"),      QStringLiteral("DerivedData"),
    QStringLiteral("dist"),         QStringLiteral("node_modules"),  QStringLiteral("Pods"),
    QStringLiteral("target"),       QStringLiteral("vendor"),        QStringLiteral("venv"),
};

} // namespace

bool isSkippedFolderName(QStringView name)
{
    return std::any_of(skippedFolderNames.begin(), skippedFolderNames.end(),
                       [name](const QString &skipped) { return name == skipped; });
}

} // namespace tolvaran
