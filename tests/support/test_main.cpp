#include <QCoreApplication>
#include <gtest/gtest.h>

// Engine tests need an application object for sockets, timers and event processing; no widgets.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
