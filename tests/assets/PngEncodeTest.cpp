// PNG encoding: a round trip through the decoder, the same bytes every time,
// and the calls it refuses.
#include "assets/PngEncode.h"
#include "assets/PngDecode.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

TEST(PngEncode, RoundTripsThroughTheDecoderAndIsRepeatable)
{
    for (unsigned channels : {3u, 4u}) {
        PngImage image;
        image.width = 37;
        image.height = 11;
        image.channels = channels;
        image.pixels = std::make_unique<unsigned char[]>(image.byteCount());
        for (std::size_t i = 0; i < image.byteCount(); ++i)
            image.pixels[i] = static_cast<unsigned char>(i * 7 + i / 13);
        std::vector<unsigned char> png;
        ASSERT_TRUE(encodePng(image, png));
        PngImage back;
        ASSERT_TRUE(decodePng(png.data(), png.size(), back));
        EXPECT_EQ(back.width, 37u);
        EXPECT_EQ(back.height, 11u);
        ASSERT_EQ(back.channels, channels);
        EXPECT_EQ(0, std::memcmp(back.pixels.get(), image.pixels.get(), image.byteCount()));

        std::vector<unsigned char> again;
        ASSERT_TRUE(encodePng(image, again, pngDefaultCompression));
        EXPECT_EQ(png, again);
    }
    std::vector<unsigned char> out{1, 2};
    const unsigned char pixel[4] = {};
    EXPECT_FALSE(encodePng(pixel, 0, 1, 3, out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(encodePng(pixel, 1, 1, 2, out));
    EXPECT_FALSE(encodePng(nullptr, 1, 1, 3, out));
}
