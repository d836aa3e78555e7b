#include "app/AppLogging.h"

Q_LOGGING_CATEGORY(lcApp, "com.ostvik.tolvaran.app")
