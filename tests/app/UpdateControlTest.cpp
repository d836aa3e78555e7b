// The update control over a real updater and a local update server: what it shows for each
// state of the updater, and the "Update Failed" alert, shown once.
#include "widgets/ClosureButton.h"
#include "app/window/UpdateControl.h"
#include "support/network/LocalHttpServer.h"
#include "support/update/ReleaseBuilder.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"
#include "update/AppUpdateService.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>

#include <gtest/gtest.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

class UpdateControlTest : public ::testing::Test
{
protected:
    UpdateControlTest()
    {
        AppUpdateEnvironment environment;
        if (!server.listen())
            throw std::runtime_error("the local update server could not listen");
        environment.serverURL = ReleaseBuilder::baseAddress(server);
        environment.currentVersion = QStringLiteral("26.8.70");
        // A packaged copy: an installation fails at once, before any download.
        environment.runningExecutable = QStringLiteral("/usr/bin/tolvaran");
        environment.temporaryDirectory = home.path();
        environment.quitApplication = [] {};
        updater = std::make_unique<AppUpdateService>(environment);
        auto *row = new QHBoxLayout(&window);
        versionLabel = new QLabel(QStringLiteral("26.8.70"), &window);
        control = new UpdateControl(*updater, versionLabel, &window);
        row->addWidget(versionLabel);
        row->addWidget(control);
        window.show();
    }

    void offerRelease()
    {
        ReleaseBuilder::publish(server, ReleaseBuilder::manifestFor("26.9.1", "archive"),
                                "archive");
        bool checked = false;
        updater->checkForUpdates([&] { checked = true; });
        ASSERT_TRUE(waitUntil([&] { return checked; }));
        ASSERT_TRUE(updater->availableUpdate().has_value());
    }

    TemporaryHome home;
    LocalHttpServer server;
    std::unique_ptr<AppUpdateService> updater;
    QWidget window;
    QLabel *versionLabel = nullptr;
    UpdateControl *control = nullptr;
};

TEST_F(UpdateControlTest, withNothingToInstallOnlyTheVersionShows)
{
    control->setCompact(true);
    EXPECT_TRUE(control->isHidden());
    EXPECT_TRUE(control->button()->isHidden());
    EXPECT_FALSE(versionLabel->isHidden());
}

TEST_F(UpdateControlTest, offersTheAvailableVersion)
{
    offerRelease();
    ClosureButton *button = control->button();
    EXPECT_FALSE(button->isHidden());
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(button->text(), QStringLiteral("New Version"));
    EXPECT_EQ(button->toolTip(), QStringLiteral("Install version 26.9.1"));
    EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    EXPECT_TRUE(control->progressIndicator()->isHidden());
    EXPECT_FALSE(versionLabel->isHidden());

    control->setCompact(true);
    EXPECT_EQ(button->text(), QStringLiteral("Update"));
    EXPECT_TRUE(versionLabel->isHidden());

    // A later check that finds nothing takes the offer back.
    server.setResponse("/v1/app/update", LocalHttpServer::Response::withStatus(404));
    bool checked = false;
    updater->checkForUpdates([&] { checked = true; });
    ASSERT_TRUE(waitUntil([&] { return checked; }));
    EXPECT_TRUE(control->isHidden());
    EXPECT_FALSE(versionLabel->isHidden());
}

TEST_F(UpdateControlTest, showsTheWorkAndThenTheFailureOnce)
{
    offerRelease();
    control->setCompact(true);
    ClosureButton *button = control->button();
    button->invoke();

    ASSERT_TRUE(updater->isInstalling());
    EXPECT_EQ(button->text(), QStringLiteral("Working"));
    EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonTextOnly);
    EXPECT_EQ(button->toolTip(), QStringLiteral("Downloading and preparing the update"));
    EXPECT_FALSE(button->isEnabled());
    EXPECT_FALSE(control->progressIndicator()->isHidden());
    EXPECT_TRUE(versionLabel->isHidden());

    ASSERT_TRUE(waitUntil([&] { return control->failureAlert() != nullptr; }));
    QMessageBox *alert = control->failureAlert();
    EXPECT_EQ(alert->text(), QStringLiteral("Update Failed"));
    EXPECT_EQ(alert->informativeText(),
              QStringLiteral("This copy of Tolvaran is updated by its package manager or "
                             "build, not by itself."));
    EXPECT_FALSE(updater->errorMessage().has_value()); // consumed
    EXPECT_FALSE(updater->isInstalling());
    EXPECT_EQ(button->text(), QStringLiteral("Update"));
    EXPECT_TRUE(button->isEnabled());
    alert->accept();
    ASSERT_TRUE(waitUntil([&] { return control->failureAlert() == nullptr; }));
}

} // namespace
