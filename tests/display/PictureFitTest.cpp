// The picture's place in frames of other sizes: the same rectangle for the
// window, the offline renderer and the web page, at even and odd sizes.
#include "display/PictureFit.h"

#include <gtest/gtest.h>

TEST(PictureFit, CentresTheLargestRectangleOfThePicturesAspect)
{
    struct Case {
        int width, height;
        PictureArea expected; // x, bottom, width, height
    };
    const Case cases[] = {
        {800, 600, {0, 0, 800, 600}},       // the picture's own size
        {1920, 1080, {240, 0, 1440, 1080}}, // wide: bars left and right
        {1080, 1920, {0, 555, 1080, 810}},  // tall: bars above and below
        {1001, 750, {0, 0, 1000, 750}},     // 1000.0: one spare column, on the right
        {801, 601, {0, 0, 801, 601}},       // 600.75 rows round to 601
        {799, 333, {177, 0, 444, 333}},     // 355 spare columns: 177 left, 178 right
        {1279, 719, {160, 0, 959, 719}},    // 958.67 rounds to 959
        {5, 3, {0, 0, 4, 3}},               // 4.0 wide in a 5-wide frame: x = 0
        {7, 1000, {0, 498, 7, 5}},          // 5.25 rounds to 5; (1000 - 5) / 2 = 497 rows above
        {10000, 1, {4999, 0, 1, 1}},        // a sliver still shows one pixel
        {0, 600, {0, 0, 0, 0}},             // no area: nothing
    };
    for (const Case& c : cases) {
        const PictureArea got = fitPicture(c.width, c.height, 800, 600);
        EXPECT_EQ(got.x, c.expected.x) << c.width << "x" << c.height;
        EXPECT_EQ(got.bottom, c.expected.bottom) << c.width << "x" << c.height;
        EXPECT_EQ(got.width, c.expected.width) << c.width << "x" << c.height;
        EXPECT_EQ(got.height, c.expected.height) << c.width << "x" << c.height;
    }
}
