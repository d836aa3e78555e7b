#pragma once

namespace tolvaran::fixtures::bench {

// The look of the screenshot programs: under a bare X server Qt has no desktop theme to take
// a palette from, so the window is drawn in the Fusion style (with the program's focus
// indicator, FocusIndicatorStyle) with Fusion's own light palette or the dark palette Fusion
// users commonly set. With TOLVARAN_FONT_POINTS set, the application
// font takes that size, as a desktop set to larger text gives it. Call once the application
// exists.
void useFusionLook(bool dark);

} // namespace tolvaran::fixtures::bench
