#include "team/TeamLogging.h"

Q_LOGGING_CATEGORY(lcTeam, "com.ostvik.tolvaran.team")
