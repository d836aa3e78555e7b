#pragma once

#include <QLoggingCategory>

// The platform library's own category ("com.ostvik.tolvaran.platform"), so its messages can be
// switched on alone (QT_LOGGING_RULES). Each library has its own, named by the bundle
// identifier and the library.
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)
