#pragma once

#include <QLoggingCategory>

// The team service's log category.
Q_DECLARE_LOGGING_CATEGORY(lcTeam)
