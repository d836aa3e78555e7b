#pragma once

#include <QString>

// Shared team keys for tests: distinctive, so that a check over every log line of a test run
// finds them if anything ever logs one. Each has the 43 characters of a generated key.
namespace tolvaran::fixtures::teamKeys {

inline const QString alpha = QStringLiteral("FixtureKeyAlpha-SharedTeamSecret-0123456789");
inline const QString beta = QStringLiteral("FixtureKeyBeta_SharedTeamSecret_9876543210x");
// Long enough for the settings (24 characters) but not for a request (32).
inline const QString shortForRequests = QStringLiteral("FixtureKeyShort-TwentySeven");

} // namespace tolvaran::fixtures::teamKeys
