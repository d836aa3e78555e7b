#include "support/FakeFolderPicker.h"

namespace tolvaran::fixtures {

void FakeFolderPicker::chooseNewFolder(const FolderPickerRequest &request, Completion completion)
{
    requests << request;
    completion(answers.isEmpty() ? std::nullopt : answers.takeFirst());
}

} // namespace tolvaran::fixtures
