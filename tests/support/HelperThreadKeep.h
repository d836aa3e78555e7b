#pragma once

namespace tolvaran::fixtures {

// Something kept per thread, as the fonts of laid-out text are (in Qt's thread storage): keepOnAHelper() runs a
// side-by-side loop whose two items meet, so that the calling thread and one helper each
// keep one; keptOnThreads() counts those still kept, which falls as threads that kept one
// end. Returns whether the items met (they wait a bounded time for each other).
bool keepOnAHelper();
int keptOnThreads();

} // namespace tolvaran::fixtures
