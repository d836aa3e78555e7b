#pragma once

#include "support/ScopedEnvironment.h"

#include <QTemporaryDir>

#include <optional>

namespace tolvaran::fixtures {

// The folders a program keeps per-user files in (the XDG cache, configuration, data, state
// and runtime folders) in a temporary folder of the test program's own, for its whole run:
// nothing a test writes there (the picture cache, settings files of ours and of Qt's) reaches
// the home folder of whoever runs the tests, and no test sees what another run left. Made
// before the application object, which reads some of them as it starts; children inherit them.
// The program's arguments tell a child that GoogleTest starts to run one death test: that
// child, which ends without removing anything, keeps the folders it inherits, so that a test
// run leaves nothing behind.
class PrivateUserFolders final
{
public:
    PrivateUserFolders(int argc, char *argv[]);

private:
    std::optional<QTemporaryDir> m_directory;
    ScopedEnvironment m_environment; // restored before the folder is removed
};

} // namespace tolvaran::fixtures
