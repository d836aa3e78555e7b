#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tolvaran::fixtures {

// The README of a demonstration project, as projects write them: a row of linked badges, a
// paragraph, code, a settings table and a task list.
//
// The badges load from the demonstration badge server (bench/demo_badge_server) on
// 127.0.0.1:demoBadgePort; without it they fail quietly and take no room, and nothing ever
// reaches another address.
namespace DemoReadme {

inline constexpr quint16 demoBadgePort = 8767;

// The names of the badges the server has ("build", "coverage", "licence").
QStringList badgeNames();
// The badge's path on the server ("/badges/build.svg").
QString badgePath(const QString &name);
// A badge as the badge services draw one: its name on grey, its value on a colour.
QByteArray badgeSvg(const QString &name);
QByteArray readme(const QString &projectName);

} // namespace DemoReadme

} // namespace tolvaran::fixtures
