#pragma once

#include "platform/desktop/FolderPicker.h"

#include <QList>

namespace tolvaran::fixtures {

// A folder dialog that records each request and answers at once with the next of `answers` (a
// path, or none for a cancelled dialog); cancelled once the answers run out.
class FakeFolderPicker final : public FolderPicker
{
public:
    void chooseNewFolder(const FolderPickerRequest &request, Completion completion) override;

    QList<std::optional<QString>> answers;
    QList<FolderPickerRequest> requests;
};

} // namespace tolvaran::fixtures
