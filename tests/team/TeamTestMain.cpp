// The team tests' entry point: a QCoreApplication, every log line of the run recorded (the
// team category's debug lines included), and a check when the run ends that no line holds a
// team key or installation credential the run handed out or saw. Started again with the secret
// writer's argument, it is a second process writing a profile's secrets (TeamSecretWriter).
#include "TeamSecretWriter.h"
#include "support/LogRecorder.h"
#include "support/BuiltPrograms.h"
#include "support/PrivateUserFolders.h"
#include "support/team/WatchedSecrets.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <gtest/gtest.h>

namespace {

class SecretsStayOutOfLogs final : public ::testing::Environment
{
public:
    void TearDown() override
    {
        const QStringList secrets = tolvaran::fixtures::watchedSecrets();
        for (const QString &line : tolvaran::fixtures::LogRecorder::lines()) {
            for (const QString &secret : secrets) {
                if (line.contains(secret))
                    ADD_FAILURE() << "A log line holds a secret: " << line.toStdString();
            }
        }
    }
};

} // namespace

int main(int argc, char *argv[])
{
    if (const auto written = tolvaran::fixtures::TeamSecretWriter::runIfAsked(argc, argv))
        return *written;
    tolvaran::fixtures::PrivateUserFolders userFolders(argc, argv);
    tolvaran::fixtures::nameBuiltPictureDecoder();
    tolvaran::fixtures::LogRecorder::install();
    QLoggingCategory::setFilterRules(QStringLiteral("com.ostvik.tolvaran.team.debug=true"));
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new SecretsStayOutOfLogs);
    return RUN_ALL_TESTS();
}
