#include "data/DataLogging.h"

Q_LOGGING_CATEGORY(lcData, "com.ostvik.tolvaran.data")
