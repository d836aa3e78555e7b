#pragma once

#include <QString>

namespace tolvaran {

// Whether a folder of this name holds build output, dependencies, environments or caches:
// trees that can hold more folders than a project's own files, that git status ignores as a
// rule, and that neither the file monitor watches nor the Markdown walk enters. Compared
// exactly (case-sensitive): a folder named "Build" is a project's own.
bool isSkippedFolderName(QStringView name);

} // namespace tolvaran
