#include "platform/ServerAddress.h"
#include "support/QtPrinters.h"
#include "support/ScopedEnvironment.h"

#include <QUrl>

#include <gtest/gtest.h>

namespace tolvaran {
namespace {

TEST(ServerAddress, isTheHttpsConstantUnlessTheVariableNamesAnother)
{
    fixtures::ScopedEnvironment environment;
    environment.unset("TOLVARAN_SERVER_URL");
    const QUrl address(serverAddress());
    EXPECT_EQ(address.scheme(), "https");
    EXPECT_FALSE(address.host().isEmpty());
    EXPECT_TRUE(address.path().isEmpty());

    environment.set("TOLVARAN_SERVER_URL", "");
    EXPECT_EQ(serverAddress(), defaultServerAddress);
    environment.set("TOLVARAN_SERVER_URL", "http://127.0.0.1:8123");
    EXPECT_EQ(serverAddress(), "http://127.0.0.1:8123");
}

} // namespace
} // namespace tolvaran
