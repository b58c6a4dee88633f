#include "ImageLoader.h"
#include "SkinResources.h"

#include "BmpBuilder.h"
#include "ZipBuilder.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace SkinKit;

namespace {

// 0xRRGGBB of pixel (x, y) in rows of RGB byte triples, top row first.
uint32_t RgbAt(const std::vector<uint8_t>& rgb, int width, int x, int y) {
    const uint8_t* p = &rgb[static_cast<size_t>(y * width + x) * 3];
    return static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
}

} // namespace

TEST(ImageLoader, CreatesTopDownDibSectionFromSkinPackage) {
    std::vector<uint8_t> rgb = {255, 0,  255, 10,  20, 30, // top row
                                40,  50, 60,  255, 0,  255};
    std::vector<uint8_t> zip =
        BuildZip({{"images/key.bmp", MakeBmp(2, 2, [&](int x, int y) { return RgbAt(rgb, 2, x, y); }), true}});
    CSkinStore store;
    store.SetResourceZip(zip.data(), zip.size());

    std::unique_ptr<TImageInfo> image = LoadSkinImage(L"images\\key.bmp", nullptr, 0xFFFF00FF, &store);
    ASSERT_TRUE(image);
    EXPECT_EQ(2, image->nX);
    EXPECT_EQ(2, image->nY);
    EXPECT_TRUE(image->alphaChannel);
    EXPECT_EQ(0xFFFF00FFu, image->dwMask);

    DIBSECTION dib;
    ASSERT_EQ(static_cast<int>(sizeof(dib)), GetObjectW(image->hBitmap, sizeof(dib), &dib));
    EXPECT_EQ(32, dib.dsBm.bmBitsPixel);
    ASSERT_NE(nullptr, dib.dsBm.bmBits);
    const uint32_t* bits = static_cast<const uint32_t*>(dib.dsBm.bmBits);
    EXPECT_EQ(0u, bits[0]);
    EXPECT_EQ(0xFF0A141Eu, bits[1]);
    EXPECT_EQ(0xFF28323Cu, bits[2]); // second row follows the first: top-down
    EXPECT_EQ(0u, bits[3]);

    EXPECT_FALSE(LoadSkinImage(L"missing.png", nullptr, 0, &store));
    EXPECT_FALSE(LoadSkinImage(L"", nullptr, 0, &store));
}
