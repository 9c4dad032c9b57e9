#include "display/BarPlacement.h"

#include <gtest/gtest.h>

using sv::BarPosition;
using sv::barFrame;

TEST(BarPlacement, FollowsTheWorkAreaTable)
{
    struct Case {
        const char *name;
        QRectF visible;
        double fraction, height;
        BarPosition position;
        QRectF expected;
    } cases[] = {
        {"0.6 of 1440", {0, 25, 1440, 875}, 0.6, 220, BarPosition::top, {288, 33, 864, 220}},
        {"0.4 of 700 is raised to 320", {0, 0, 700, 500}, 0.4, 220, BarPosition::top, {190, 8, 320, 220}},
        {"full width has no margin", {0, 0, 1440, 900}, 1.0, 120, BarPosition::top, {0, 8, 1440, 120}},
        {"bottom edge, y downwards", {0, 0, 1440, 875}, 0.6, 220, BarPosition::bottom, {288, 875 - 220 - 8, 864, 220}},
        {"second screen to the right", {1440, 0, 1280, 800}, 0.6, 360, BarPosition::bottom, {1696, 432, 768, 360}},
        {"narrower than 320 overhangs both sides", {100, 0, 300, 400}, 0.8, 90, BarPosition::top, {90, 8, 320, 90}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(barFrame(c.visible, c.fraction, c.height, c.position), c.expected) << c.name;
}
