#include "ImageDescription.h"

#include <gtest/gtest.h>

#include <climits>

using namespace SkinKit;

TEST(ImageDescription, PlainNameIsOneImageWithDefaults) {
    std::vector<ImageDrawing> images = ParseImageDescription(L"bg.png");
    ASSERT_EQ(1u, images.size());
    EXPECT_EQ(L"bg.png", images[0].name);
    EXPECT_FALSE(images[0].hasDest);
    EXPECT_FALSE(images[0].hasSource);
    EXPECT_EQ(255, images[0].fade);
    EXPECT_EQ(0u, images[0].mask);
    EXPECT_TRUE(ParseImageDescription(L"").empty());
    EXPECT_TRUE(ParseImageDescription(nullptr).empty());
}

TEST(ImageDescription, ReadsEveryKey) {
    std::vector<ImageDrawing> images =
        ParseImageDescription(L"  file = 'btn.png' dest='1,2,30,40' source='0,0,10,10' corner='2,3,4,5' "
                              L"mask='#FFFF00FF' fade='300' hole='true' xtiled='true' ytiled='false'");
    ASSERT_EQ(1u, images.size());
    const ImageDrawing& s = images[0];
    EXPECT_EQ(L"btn.png", s.name);
    EXPECT_TRUE(s.hasDest);
    EXPECT_EQ(30, s.dest.right);
    EXPECT_TRUE(s.hasSource);
    EXPECT_EQ(10, s.source.bottom);
    EXPECT_EQ(2, s.corner.left);
    EXPECT_EQ(5, s.corner.bottom);
    EXPECT_EQ(0xFFFF00FFu, s.mask);
    EXPECT_EQ(255, s.fade);
    EXPECT_TRUE(s.hole);
    EXPECT_TRUE(s.xTiled);
    EXPECT_FALSE(s.yTiled);
}

TEST(ImageDescription, MalformedPairEndsTheList) {
    std::vector<ImageDrawing> images = ParseImageDescription(L"file='a.png' fade=\"10\" hole='true'");
    ASSERT_EQ(1u, images.size());
    EXPECT_EQ(255, images[0].fade);
    EXPECT_FALSE(images[0].hole);

    images = ParseImageDescription(L"file='a.png' dest='1,2,3,4");
    ASSERT_EQ(1u, images.size());
    EXPECT_FALSE(images[0].hasDest);
}

TEST(ImageDescription, SeveralImagesCarrySettingsForward) {
    std::vector<ImageDrawing> images =
        ParseImageDescription(L"file='a.png' dest='0,0,5,5' file='b.png' fade='100' res='c.png'");
    ASSERT_EQ(3u, images.size());
    EXPECT_EQ(L"a.png", images[0].name);
    EXPECT_EQ(255, images[0].fade);
    EXPECT_EQ(L"b.png", images[1].name);
    EXPECT_TRUE(images[1].hasDest); // settings so far stay for the next image
    EXPECT_EQ(100, images[1].fade);
    EXPECT_EQ(L"c.png", images[2].name);
    EXPECT_EQ(100, images[2].fade);
}

TEST(ImageDescription, ResourceTypeBelongsToTheImageItFollowsOrPrecedes) {
    std::vector<ImageDrawing> images = ParseImageDescription(L"file='101' restype='PNG'");
    ASSERT_EQ(1u, images.size());
    EXPECT_EQ(L"PNG", images[0].resType);

    images = ParseImageDescription(L"restype='PNG' file='101' restype='JPG' file='102'");
    ASSERT_EQ(2u, images.size());
    EXPECT_EQ(L"101", images[0].name);
    EXPECT_EQ(L"PNG", images[0].resType);
    EXPECT_EQ(L"102", images[1].name);
    EXPECT_EQ(L"JPG", images[1].resType);
}

TEST(ImageDescription, SecondDescriptionOverridesThePendingImage) {
    std::vector<ImageDrawing> images =
        ParseImageDescription(L"file='fore.png' dest='0,0,400,12' source='1,1,2,2'", L"dest='0,0,148,12'");
    ASSERT_EQ(1u, images.size());
    EXPECT_EQ(L"fore.png", images[0].name);
    EXPECT_EQ(148, images[0].dest.right);
    EXPECT_EQ(1, images[0].source.left);

    images = ParseImageDescription(L"fore.png", L"dest='0,0,10,12' source='0,0,10,12'");
    ASSERT_EQ(1u, images.size());
    EXPECT_EQ(10, images[0].source.right);

    // With several images only the last one is still pending.
    images = ParseImageDescription(L"file='a.png' file='b.png'", L"fade='7'");
    ASSERT_EQ(2u, images.size());
    EXPECT_EQ(255, images[0].fade);
    EXPECT_EQ(7, images[1].fade);
}

TEST(ImageDescription, DestinationIsRelativeAndClippedSourceStaysInsideImage) {
    SkinRect item{100, 50, 300, 80};
    ImageDrawing drawing;
    EXPECT_EQ(300, ResolveDestRect(drawing, item).right);
    drawing.hasDest = true;
    drawing.dest = SkinRect{10, 5, 500, 20};
    SkinRect dest = ResolveDestRect(drawing, item);
    EXPECT_EQ(110, dest.left);
    EXPECT_EQ(55, dest.top);
    EXPECT_EQ(300, dest.right); // clipped
    EXPECT_EQ(70, dest.bottom);

    // Offsets read from the markup saturate at the int range; adding them to the
    // control's position must not wrap round to the other side.
    drawing.dest = ParseRect(L"2147483647,-99999999999,2147483647,-2147483648");
    dest = ResolveDestRect(drawing, item);
    EXPECT_EQ(INT_MAX, dest.left);
    EXPECT_EQ(50 + INT_MIN, dest.top);
    EXPECT_EQ(300, dest.right);
    EXPECT_EQ(50 + INT_MIN, dest.bottom);
    drawing.dest = SkinRect{10, 5, 500, 20};

    SkinRect whole = ResolveSourceRect(drawing, 16, 8);
    EXPECT_EQ(16, whole.right);
    EXPECT_EQ(8, whole.bottom);
    drawing.hasSource = true;
    drawing.source = SkinRect{-3, 2, 40, 6};
    SkinRect source = ResolveSourceRect(drawing, 16, 8);
    EXPECT_EQ(0, source.left);
    EXPECT_EQ(2, source.top);
    EXPECT_EQ(16, source.right);
    EXPECT_EQ(6, source.bottom);
}
