#include "platform/Logging.h"

Q_LOGGING_CATEGORY(lcTolvaran, "com.ostvik.tolvaran")
