// The widget tests' entry point: a QApplication (on the offscreen platform under CTest), then
// GoogleTest. Defined here, it takes the place of the support library's QCoreApplication main.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char *argv[])
{
    // Also when CTest lists the tests at build time, with no display and no environment of
    // its own.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
