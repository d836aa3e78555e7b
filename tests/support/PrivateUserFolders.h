#pragma once

#include "support/ScopedEnvironment.h"

#include <QTemporaryDir>

namespace tolvaran::fixtures {

// The folders a program keeps per-user files in (the XDG cache, configuration, data and state
// folders) in a temporary folder of the test program's own, for its whole run: nothing a test
// writes there (the picture cache, settings files of ours and of Qt's) reaches the home folder
// of whoever runs the tests, and no test sees what another run left. Made before the
// application object, which reads some of them as it starts; children inherit them.
class PrivateUserFolders final
{
public:
    PrivateUserFolders();

private:
    QTemporaryDir m_directory;
    ScopedEnvironment m_environment; // restored before the folder is removed
};

} // namespace tolvaran::fixtures
