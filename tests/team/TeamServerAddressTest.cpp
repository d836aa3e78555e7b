#include "support/QtPrinters.h"
#include "support/ScopedEnvironment.h"
#include "team/server/TeamServerAddress.h"

#include <QUrl>

#include <gtest/gtest.h>

using namespace tolvaran;

TEST(TeamServerAddress, isTheHttpsConstantUnlessTheVariableNamesAnother)
{
    fixtures::ScopedEnvironment environment;
    environment.unset(teamServerURLVariable);
    const QUrl production(teamServerAddress());
    EXPECT_EQ(production.scheme(), "https");
    EXPECT_FALSE(production.host().isEmpty());
    EXPECT_TRUE(production.path().isEmpty());
    EXPECT_FALSE(production.hasQuery());

    environment.set(teamServerURLVariable, "");
    EXPECT_EQ(teamServerAddress(), QString::fromLatin1(productionServerURL));
    environment.set(teamServerURLVariable, "http://127.0.0.1:8123");
    EXPECT_EQ(teamServerAddress(), "http://127.0.0.1:8123");
}
