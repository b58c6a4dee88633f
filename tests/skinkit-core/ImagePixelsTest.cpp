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
