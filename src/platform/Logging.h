#pragma once

#include <QLoggingCategory>

// The program's log category, named by its bundle identifier; the layers above the
// libraries log here.
Q_DECLARE_LOGGING_CATEGORY(lcTolvaran)

// The platform library's own category ("com.ostvik.tolvaran.platform"), so its messages can be
// switched on alone (QT_LOGGING_RULES).
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)
