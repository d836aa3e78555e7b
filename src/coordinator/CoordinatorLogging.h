#pragma once

#include <QLoggingCategory>

// The log category of the coordinator library.
Q_DECLARE_LOGGING_CATEGORY(lcCoordinator)
