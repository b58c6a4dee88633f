#include "ImagePixels.h"

#include "BmpBuilder.h"
#include "ZipBuilder.h"

#include <gtest/gtest.h>
#include <zlib.h>

using namespace SkinKit;

namespace {

void PutBE32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

void PutChunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
    PutBE32(png, static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    PutBE32(png, crc32(crc32(0, Z_NULL, 0), body.data(), static_cast<uInt>(body.size())));
}

// An 8-bit RGBA PNG of the given pixels (row-major, 4 bytes each).
std::vector<uint8_t> MakePng(int width, int height, const std::vector<uint8_t>& rgba) {
    std::vector<uint8_t> raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0); // filter: none
        raw.insert(raw.end(), rgba.begin() + y * width * 4, rgba.begin() + (y + 1) * width * 4);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    compress(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()));
    packed.resize(packedSize);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutBE32(header, static_cast<uint32_t>(width));
    PutBE32(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 6, 0, 0, 0});
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", packed);
    PutChunk(png, "IEND", {});
    return png;
}

} // namespace

TEST(ImagePixels, PremultipliesTranslucentPixelsAndAppliesMask) {
    const uint8_t rgba[] = {
        200, 10, 20,  128, // translucent: premultiplied
        1,   2,  3,   255, // opaque: copied
        255, 0,  255, 255, // magenta: the mask
        90,  80, 70,  0,   // fully transparent
    };
    uint32_t out[4];
    EXPECT_TRUE(PremultiplyPixels(rgba, 4, 0xFFFF00FF, out));
    EXPECT_EQ(0x8064050Au, out[0]); // 200*128/255 = 100, 10 -> 5, 20 -> 10
    EXPECT_EQ(0xFF010203u, out[1]);
    EXPECT_EQ(0u, out[2]);
    EXPECT_EQ(0u, out[3]);

    EXPECT_FALSE(PremultiplyPixels(rgba + 4, 1, 0, out));         // opaque only, no mask
    EXPECT_TRUE(PremultiplyPixels(rgba + 8, 1, 0xFFFF00FF, out)); // only the mask makes it transparent
}

TEST(ImagePixels, DecodesPngTopDownWithPremultipliedAlpha) {
    std::vector<uint8_t> rgba = {200, 0, 0,   128, 0,   255, 0,   255, // top row
                                 0,   0, 255, 255, 255, 255, 255, 255};
    std::vector<uint8_t> png = MakePng(2, 2, rgba);
    DecodedImage image;
    ASSERT_TRUE(DecodeImagePixels(png.data(), png.size(), 0, image));
    EXPECT_EQ(2, image.width);
    EXPECT_EQ(2, image.height);
    EXPECT_TRUE(image.hasTransparency);
    ASSERT_EQ(4u, image.pixels.size());
    EXPECT_EQ(0x80640000u, image.pixels[0]);
    EXPECT_EQ(0xFF00FF00u, image.pixels[1]);
    EXPECT_EQ(0xFF0000FFu, image.pixels[2]);
    EXPECT_EQ(0xFFFFFFFFu, image.pixels[3]);
}

TEST(ImagePixels, RefusesUndecodableAndAbsurdImages) {
    DecodedImage image;
    std::vector<uint8_t> text = Bytes("not an image");
    EXPECT_FALSE(DecodeImagePixels(text.data(), text.size(), 0, image));
    EXPECT_FALSE(DecodeImagePixels(nullptr, 0, 0, image));

    std::vector<uint8_t> bmp = MakeBmp(1, 1, [](int, int) { return 0x010203u; });
    std::vector<uint8_t> wide = bmp;
    wide[18] = 0x20; // width 20000 in a one-pixel file
    wide[19] = 0x4E;
    EXPECT_FALSE(DecodeImagePixels(wide.data(), wide.size(), 0, image));

    std::vector<uint8_t> png = MakePng(1, 1, {1, 2, 3, 4});
    std::vector<uint8_t> huge = png;
    for (size_t at : {16u, 20u}) { // 10000 x 10000: each side allowed, the pixel count not
        huge[at + 2] = 0x27;
        huge[at + 3] = 0x10;
    }
    EXPECT_FALSE(DecodeImagePixels(huge.data(), huge.size(), 0, image));

    // A complete 43-byte GIF whose canvas is 5000 x 5000: each side allowed, but
    // the decoder would set up 225 MB of canvas for one drawn pixel.
    const std::vector<uint8_t> gif = {'G',  'I',  'F',  '8',  '9',  'a',  0x88, 0x13, 0x88, 0x13, 0x80,
                                      0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x21, 0xF9, 0x04,
                                      0x01, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x01,
                                      0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};
    EXPECT_FALSE(DecodeImagePixels(gif.data(), gif.size(), 0, image));

    // A 24-byte run-length TGA header of 2048 x 4130 and no pixel data.
    const std::vector<uint8_t> tga = {0x00, 0x00, 0x0A, 0x10, 0x00, 0x03, 0x04, 0x00, 0x00, 0x44, 0x00, 0x03,
                                      0x00, 0x08, 0x22, 0x10, 0x20, 0x00, 0x01, 0x04, 0x03, 0x04, 0x05, 0x06};
    EXPECT_FALSE(DecodeImagePixels(tga.data(), tga.size(), 0, image));

    std::vector<uint8_t> bloated = png;
    bloated[33] = 0x7F; // the data chunk claims almost 2 GB
    EXPECT_FALSE(DecodeImagePixels(bloated.data(), bloated.size(), 0, image));
    EXPECT_EQ(0, image.width);
    EXPECT_TRUE(image.pixels.empty());
}

// Images are resampled once per scale: flat areas stay flat, enlarging
// interpolates, reducing averages every source pixel, and transparent edges
// keep their colour (premultiplied values).
TEST(ImagePixels, ResizeKeepsFlatAreasAndBlendsEdges) {
    DecodedImage image;
    image.width = 2;
    image.height = 1;
    image.pixels = {0xFF000000u, 0xFFFFFFFFu}; // black, white
    const DecodedImage wide = ResizePixels(image, 4, 2);
    ASSERT_EQ(wide.pixels.size(), 8u);
    EXPECT_EQ(wide.pixels[0], 0xFF000000u) << "the outer pixels keep their colour";
    EXPECT_EQ(wide.pixels[3], 0xFFFFFFFFu);
    EXPECT_EQ(wide.pixels[1], 0xFF404040u) << "a quarter of the way: 63.75 rounds to 64";
    EXPECT_EQ(wide.pixels[5], wide.pixels[1]) << "rows of a one-row image are equal";

    DecodedImage four;
    four.width = 4;
    four.height = 1;
    four.pixels = {0xFF000000u, 0xFF000000u, 0xFFFFFFFFu, 0xFFFFFFFFu};
    const DecodedImage half = ResizePixels(four, 2, 1);
    ASSERT_EQ(half.pixels.size(), 2u);
    EXPECT_EQ(half.pixels[0] & 0xFF, 36u) << "a filter two pixels wide: the nearer white pixel counts a seventh";
    EXPECT_EQ(half.pixels[1] & 0xFF, 219u);

    DecodedImage edge;
    edge.width = 2;
    edge.height = 1;
    edge.hasTransparency = true;
    edge.pixels = {0x00000000u, 0xFFFF0000u}; // transparent, opaque red
    const DecodedImage grown = ResizePixels(edge, 4, 1);
    ASSERT_EQ(grown.pixels.size(), 4u);
    EXPECT_EQ(grown.pixels[1], 0x40400000u) << "a quarter red at a quarter alpha: still pure red";
    EXPECT_TRUE(grown.hasTransparency);

    // Doubling both ways mixes each pixel 9:3:3:1 with its neighbours.
    DecodedImage square;
    square.width = square.height = 2;
    square.pixels = {0xFF000000u, 0xFF0000F0u, 0xFF00F000u, 0xFFF00000u}; // black, blue / green, red
    const DecodedImage doubled = ResizePixels(square, 4, 4);
    ASSERT_EQ(doubled.pixels.size(), 16u);
    EXPECT_EQ(doubled.pixels[0], square.pixels[0]) << "corners keep their colour";
    EXPECT_EQ(doubled.pixels[15], square.pixels[3]);
    EXPECT_EQ(doubled.pixels[5], 0xFF0F2D2Du) << "black 9, blue 3, green 3, red 1 (sixteenths)";
    EXPECT_EQ(doubled.pixels[1], 0xFF00003Cu) << "an edge: a quarter of blue";
    DecodedImage column;
    column.width = 1;
    column.height = 4;
    column.pixels = {0xFF000000u, 0xFF000050u, 0xFF0000A0u, 0xFF0000F0u}; // blue 0, 80, 160, 240
    const DecodedImage taller = ResizePixels(column, 2, 8);
    ASSERT_EQ(taller.pixels.size(), 16u);
    const uint32_t blues[] = {0, 20, 60, 100, 140, 180, 220, 240}; // 3:1 with the row above or below
    for (int row = 0; row < 8; ++row)
        EXPECT_EQ(taller.pixels[row * 2] & 0xFF, blues[row]) << "row " << row;

    EXPECT_TRUE(ResizePixels(image, 0, 1).pixels.empty());
    EXPECT_TRUE(ResizePixels(image, kMaxImageSide + 1, 1).pixels.empty());
    EXPECT_EQ(ResizePixels(image, 2, 1).pixels, image.pixels);
}
