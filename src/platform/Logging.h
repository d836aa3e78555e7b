#pragma once

#include <QLoggingCategory>

// The program's log category, named by its bundle identifier.
Q_DECLARE_LOGGING_CATEGORY(lcTolvaran)
