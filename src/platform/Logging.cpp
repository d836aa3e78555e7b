#include "platform/Logging.h"

Q_LOGGING_CATEGORY(lcPlatform, "com.ostvik.tolvaran.platform")
