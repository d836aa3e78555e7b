#include "coordinator/CoordinatorLogging.h"

Q_LOGGING_CATEGORY(lcCoordinator, "com.ostvik.tolvaran.coordinator")
