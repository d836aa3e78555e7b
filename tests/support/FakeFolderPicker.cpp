#include "support/FakeFolderPicker.h"

namespace tolvaran::fixtures {

std::optional<QString> FakeFolderPicker::chooseNewFolder(const FolderPickerRequest &request)
{
    requests << request;
    if (answers.isEmpty())
        return std::nullopt;
    return answers.takeFirst();
}

} // namespace tolvaran::fixtures
