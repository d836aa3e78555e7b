#include "platform/Logging.h"

Q_LOGGING_CATEGORY(lcTolvaran, "com.ostvik.tolvaran")
Q_LOGGING_CATEGORY(lcPlatform, "com.ostvik.tolvaran.platform")
