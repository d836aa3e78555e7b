#pragma once

// Moved to src/widgets, shared by every screen; kept so that code written against the old
// place still builds.
#include "widgets/BrowserStyle.h"
