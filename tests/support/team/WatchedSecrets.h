#pragma once

#include <QString>
#include <QStringList>

namespace tolvaran::fixtures {

// The secrets a test process has handed out or seen (team keys, installation credentials),
// for checks that none of them ever reaches a log line or an error sentence. The local team
// server adds every key and credential it creates or receives.
void watchSecret(const QString &secret);
QStringList watchedSecrets();

} // namespace tolvaran::fixtures
