#pragma once

#include <QString>

#include <optional>

namespace tolvaran {

// A registered device's role in its team, coded as its raw text.
enum class TeamInstallationRole { owner, admin, member };

// The role whose raw text is exactly `rawValue` (case-sensitive); none for any other text.
std::optional<TeamInstallationRole> teamInstallationRoleFromRawValue(const QString &rawValue);
QString rawValue(TeamInstallationRole role);

} // namespace tolvaran
