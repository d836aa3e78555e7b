#pragma once

#include <QLoggingCategory>

// The data library's log category ("com.ostvik.tolvaran.data").
Q_DECLARE_LOGGING_CATEGORY(lcData)
