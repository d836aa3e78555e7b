#pragma once

#include <QString>

namespace tolvaran {

// What the application object needs before the window is made: its name, `version`, desktop
// file name, window icon (when the program carries one), and an installed freedesktop icon
// theme when the session names none (without a desktop session, on a bare X server or under
// some window managers, Qt knows no icon theme and would fall back to its own few standard
// icons); the desktop's style with a focus indicator that can be seen (FocusIndicatorStyle);
// Return and Enter on every button as Space (ButtonActivationKeys); and the C library's way
// with large blocks (mapLargeBlocksApart).
void setUpApplication(const QString &version);

} // namespace tolvaran
