// The entry point of every test program that does not bring its own: a QCoreApplication (for
// event loops, queued calls and timers), then GoogleTest. Test folders that need widgets define
// their own main with a QApplication; the linker then leaves this one out.
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
