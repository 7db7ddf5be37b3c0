#include "app/window_placement.h"

#include <gtest/gtest.h>

using vesk::FitFrameInside;

TEST(WindowPlacementTest, FitsTheFrameInsideTheAvailableArea)
{
    const QSize minimum(760, 330);
    const struct
    {
        const char* name;
        QRect frame;
        QRect available;
        QRect fitted;
    } rows[] = {
        { "already inside stays", { 410, 314, 916, 648 }, { 0, 0, 1920, 1050 }, { 410, 314, 916, 648 } },
        // 1366 x 768 less a 30-pixel panel at the bottom: moved up, not resized.
        { "moved up on a laptop screen", { 410, 314, 916, 648 }, { 0, 0, 1366, 738 }, { 410, 90, 916, 648 } },
        { "moved left", { 900, 10, 916, 648 }, { 0, 0, 1366, 738 }, { 450, 10, 916, 648 } },
        { "off the top-left comes back", { -50, -20, 916, 648 }, { 0, 0, 1366, 738 }, { 0, 0, 916, 648 } },
        { "panel on the left and top", { 0, 0, 916, 648 }, { 64, 28, 1302, 740 }, { 64, 28, 916, 648 } },
        { "sized down to a small screen", { 410, 314, 916, 648 }, { 0, 0, 800, 600 }, { 0, 0, 800, 600 } },
        { "never below the minimum", { 410, 314, 916, 648 }, { 0, 0, 640, 300 }, { 0, 0, 760, 330 } },
        { "second screen to the right", { 410, 314, 916, 648 }, { 1920, 0, 1280, 1024 }, { 1920, 314, 916, 648 } },
        { "no screen area leaves it", { 410, 314, 916, 648 }, QRect(), { 410, 314, 916, 648 } },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(FitFrameInside(row.frame, row.available, minimum), row.fitted);
    }
}
