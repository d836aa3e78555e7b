// The entry point of the widget tests: a QApplication (widgets need one), then GoogleTest.
// Without a platform named in the environment (test discovery at build time runs the program
// bare) the widgets draw offscreen, so the tests never need a display.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
