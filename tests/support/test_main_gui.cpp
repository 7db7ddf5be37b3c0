#include <QApplication>
#include <gtest/gtest.h>

// Widget tests run headless. CTest sets QT_QPA_PLATFORM=offscreen for each case, but test discovery runs the
// binary without it, so default to offscreen here as well.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
