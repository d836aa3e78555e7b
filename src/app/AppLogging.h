#pragma once

#include <QLoggingCategory>

// The log category of the window and the application object.
Q_DECLARE_LOGGING_CATEGORY(lcApp)
