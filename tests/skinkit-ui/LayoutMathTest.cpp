#include "LayoutMath.h"

#include <gtest/gtest.h>

#include <climits>

using namespace SkinKit;

namespace {

// Children whose desired size is their fixed size, as for plain controls.
LayoutOutcome Vertical(const UiRect& rc, int gap, const std::vector<LayoutItem>& items) {
    return LayoutVertically(rc, gap, items, [&](size_t i, UiSize) {
        return UiSize{items[i].fixedWidth, items[i].fixedHeight};
    });
}
LayoutOutcome Horizontal(const UiRect& rc, int gap, const std::vector<LayoutItem>& items) {
    return LayoutHorizontally(rc, gap, items, [&](size_t i, UiSize) {
        return UiSize{items[i].fixedWidth, items[i].fixedHeight};
    });
}

LayoutItem Fixed(int w, int h) {
    LayoutItem item;
    item.fixedWidth = w;
    item.fixedHeight = h;
    return item;
}

} // namespace

TEST(VerticalLayout, FlexibleChildrenShareSpaceAndLeaveTheRemainderAtTheBottom) {
    const auto out = Vertical(UiRect{0, 0, 200, 100}, 0, {LayoutItem{}, LayoutItem{}, LayoutItem{}});
    EXPECT_EQ(out.rects[0], (UiRect{0, 0, 200, 33}));
    EXPECT_EQ(out.rects[1], (UiRect{0, 33, 200, 66}));
    EXPECT_EQ(out.rects[2], (UiRect{0, 66, 200, 99}));
    EXPECT_EQ(out.needed, 99);
}

TEST(VerticalLayout, FixedChildrenPaddingsAndChildPaddingReduceTheFlexibleShare) {
    LayoutItem padded;
    padded.padding = UiRect{16, 0, 8, 10};
    std::vector<LayoutItem> items{Fixed(0, 20), padded, LayoutItem{}};
    // 120 - 20 fixed - 10 padding - 2 gaps of 5 = 80, shared by two.
    const auto out = Vertical(UiRect{10, 10, 310, 130}, 5, items);
    EXPECT_EQ(out.rects[0], (UiRect{10, 10, 310, 30}));
    // As wide as the layout less 24, followed by a gap of 10 (+ child padding 5).
    EXPECT_EQ(out.rects[1], (UiRect{26, 35, 302, 75}));
    EXPECT_EQ(out.rects[2].top, 75 + 10 + 5);
    EXPECT_EQ(out.rects[2].Height(), 40);
}

TEST(VerticalLayout, SkipsInvisibleAndLeavesFloatingChildrenToTheContainer) {
    LayoutItem hidden;
    hidden.visible = false;
    LayoutItem floating = Fixed(40, 32);
    floating.floating = true;
    const auto out = Vertical(UiRect{0, 0, 100, 100}, 0, {hidden, floating, LayoutItem{}});
    EXPECT_FALSE(out.placed[0]);
    EXPECT_FALSE(out.placed[1]);
    EXPECT_EQ(out.rects[2], (UiRect{0, 0, 100, 100}));
}

TEST(VerticalLayout, ClampsToMinimumAndMaximumAndNeverGoesNegative) {
    LayoutItem limited;
    limited.maxHeight = 10;
    limited.minWidth = 150;
    LayoutItem big = Fixed(0, 500);
    const auto out = Vertical(UiRect{0, 0, 100, 100}, 0, {limited, big, LayoutItem{}});
    EXPECT_EQ(out.rects[0].Height(), 0); // flexible share is 0 after the 500 px child
    EXPECT_EQ(out.rects[0].Width(), 150);
    EXPECT_EQ(out.rects[1].Height(), 500);
    EXPECT_EQ(out.rects[2].Height(), 0);
}

TEST(HorizontalLayout, FixedHeightChildSitsAtTheTopAndEmptyControlFillsTheRow) {
    LayoutItem label = Fixed(0, 30);
    std::vector<LayoutItem> items{LayoutItem{}, label, Fixed(350, 30), LayoutItem{}};
    const auto out = Horizontal(UiRect{0, 100, 476, 160}, 0, items);
    // 476 - 350 = 126 shared by the three flexible children: 42 each.
    EXPECT_EQ(out.rects[0], (UiRect{0, 100, 42, 160}));
    EXPECT_EQ(out.rects[1], (UiRect{42, 100, 84, 130}));
    EXPECT_EQ(out.rects[2], (UiRect{84, 100, 434, 130}));
    EXPECT_EQ(out.rects[3], (UiRect{434, 100, 476, 160}));
}

TEST(HorizontalLayout, PaddingShiftsAndShrinksTheChild) {
    LayoutItem child = Fixed(16, 16);
    child.padding = UiRect{8, 2, 0, 0};
    const auto out = Horizontal(UiRect{0, 0, 40, 32}, 0, {Fixed(16, 16), child});
    EXPECT_EQ(out.rects[1], (UiRect{24, 2, 40, 18}));
    EXPECT_EQ(out.needed, 40);
}

TEST(Floating, PositiveOffsetsCountFromTopLeftNegativeFromBottomRight) {
    const UiRect container{0, 0, 500, 350};
    EXPECT_EQ(FloatingRect(container, 451, 8, 40, 32), (UiRect{451, 8, 491, 40}));

    const PosValue pos = InterpretPos(-50, 8, -10, 40);
    EXPECT_EQ(pos.offsetX, -10);
    EXPECT_EQ(pos.offsetY, 8);
    EXPECT_EQ(pos.width, 40);
    EXPECT_EQ(pos.height, 32);
    EXPECT_EQ(FloatingRect(container, pos.offsetX, pos.offsetY, pos.width, pos.height), (UiRect{450, 8, 490, 40}));
    EXPECT_EQ(FloatingRect(UiRect{10, 10, 110, 110}, 5, -5, 20, 20), (UiRect{15, 85, 35, 105}));
}

TEST(Floating, NegativeSizesInPosAreIgnoredAndOffsetsRoundTrip) {
    const PosValue pos = InterpretPos(30, 40, 10, 20);
    EXPECT_EQ(pos.width, -1);
    EXPECT_EQ(pos.height, -1);

    int x = -10, y = 8;
    FloatingOffsetFromRect(UiRect{0, 0, 500, 350}, UiRect{450, 8, 490, 40}, x, y);
    EXPECT_EQ(x, -10);
    EXPECT_EQ(y, 8);
}

TEST(LabelSize, TextMetricHeightPlusFourUnlessAHeightIsFixed) {
    EXPECT_EQ(LabelDesiredSize(0, 0, 17, false, 0, UiRect{}), (UiSize{0, 21}));
    EXPECT_EQ(LabelDesiredSize(0, 30, 17, false, 0, UiRect{}), (UiSize{0, 30}));
    EXPECT_EQ(LabelDesiredSize(99, 0, 17, true, 50, UiRect{4, 0, 6, 0}), (UiSize{60, 21}));
}

TEST(Progress, FillWidthsWithRangeCorrection) {
    EXPECT_EQ(ProgressFillRect(400, 3, true, {0, 100, 37}), (UiRect{0, 0, 148, 3}));
    EXPECT_EQ(ProgressFillRect(400, 3, true, {0, 100, 150}), (UiRect{0, 0, 400, 3}));
    EXPECT_EQ(ProgressFillRect(400, 3, true, {0, 100, -5}), (UiRect{0, 0, 0, 3}));
    const ProgressRange fixed = NormaliseProgress({100, 100, 100});
    EXPECT_EQ(fixed.maximum, 101);
    EXPECT_EQ(ProgressFillRect(400, 3, true, {100, 100, 100}), (UiRect{0, 0, 0, 3}));
    // Vertical bars fill from the bottom.
    EXPECT_EQ(ProgressFillRect(10, 200, false, {0, 100, 25}), (UiRect{0, 150, 10, 200}));
    // Large ranges do not overflow the product.
    EXPECT_EQ(ProgressFillRect(30000, 3, true, {0, 1000000, 500000}).right, 15000);
    // Ranges from the markup may span the whole int range or sit at its top.
    EXPECT_EQ(ProgressFillRect(400, 3, true, {INT_MIN, INT_MAX, INT_MAX}).right, 400);
    EXPECT_EQ(ProgressFillRect(400, 200, false, {INT_MIN, INT_MAX, INT_MIN}).top, 200);
    const ProgressRange top = NormaliseProgress({INT_MAX, INT_MAX, 5});
    EXPECT_EQ(top.maximum - top.minimum, 1);
    EXPECT_EQ(top.value, top.minimum);
}

TEST(ImageSplit, NineGridKeepsCornersAndStretchesTheRest) {
    const auto pieces =
        SplitImage(UiRect{0, 0, 100, 50}, UiRect{0, 0, 30, 30}, UiRect{10, 10, 10, 10}, false, false, false);
    ASSERT_EQ(pieces.size(), 9u);
    EXPECT_EQ(pieces[0].dest, (UiRect{0, 0, 10, 10}));
    EXPECT_EQ(pieces[0].source, (UiRect{0, 0, 10, 10}));
    EXPECT_EQ(pieces[4].dest, (UiRect{10, 10, 90, 40}));
    EXPECT_EQ(pieces[4].source, (UiRect{10, 10, 20, 20}));
    EXPECT_EQ(pieces[8].dest, (UiRect{90, 40, 100, 50}));
    EXPECT_EQ(pieces[8].source, (UiRect{20, 20, 30, 30}));

    const auto holed =
        SplitImage(UiRect{0, 0, 100, 50}, UiRect{0, 0, 30, 30}, UiRect{10, 10, 10, 10}, false, false, true);
    EXPECT_EQ(holed.size(), 8u);

    const auto plain = SplitImage(UiRect{5, 5, 25, 25}, UiRect{0, 0, 4, 4}, UiRect{}, false, false, false);
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(plain[0].dest, (UiRect{5, 5, 25, 25}));
}

TEST(ImageSplit, TilingRepeatsTheSourceAndCutsTheLastTile) {
    const auto pieces = SplitImage(UiRect{0, 0, 25, 10}, UiRect{0, 0, 10, 10}, UiRect{}, true, false, false);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[2].dest, (UiRect{20, 0, 25, 10}));
    EXPECT_EQ(pieces[2].source, (UiRect{0, 0, 5, 10}));
}

TEST(HitTest, CaptionDragsExceptOverButtonsAndSizeBoxResizes) {
    const UiRect client{0, 0, 500, 350};
    const UiRect noBox{}, caption{0, 0, 0, 32};
    auto drags = [] { return true; };
    auto button = [] { return false; };
    EXPECT_EQ(NonClientHitTest(client, 10, 10, noBox, caption, false, drags), 2);
    EXPECT_EQ(NonClientHitTest(client, 480, 10, noBox, caption, false, button), 1);
    EXPECT_EQ(NonClientHitTest(client, 10, 32, noBox, caption, false, drags), 1);
    EXPECT_EQ(NonClientHitTest(client, 0, 0, noBox, caption, false, drags), 2);

    const UiRect box{4, 4, 4, 4};
    EXPECT_EQ(NonClientHitTest(client, 1, 1, box, caption, false, drags), 13);
    EXPECT_EQ(NonClientHitTest(client, 498, 1, box, caption, false, drags), 14);
    EXPECT_EQ(NonClientHitTest(client, 200, 1, box, caption, false, drags), 12);
    EXPECT_EQ(NonClientHitTest(client, 1, 349, box, caption, false, drags), 16);
    EXPECT_EQ(NonClientHitTest(client, 499, 349, box, caption, false, drags), 17);
    EXPECT_EQ(NonClientHitTest(client, 200, 349, box, caption, false, drags), 15);
    EXPECT_EQ(NonClientHitTest(client, 1, 200, box, caption, false, drags), 10);
    EXPECT_EQ(NonClientHitTest(client, 499, 200, box, caption, false, drags), 11);
    // Maximised windows have no resize borders.
    EXPECT_EQ(NonClientHitTest(client, 1, 1, box, caption, true, drags), 2);
}

TEST(Centring, CentresAndKeepsTheWindowInsideTheArea) {
    int left = 0, top = 0;
    CentreInArea(UiRect{0, 0, 1024, 738}, 500, 350, left, top);
    EXPECT_EQ(left, 262);
    EXPECT_EQ(top, 194);
    CentreInArea(UiRect{0, 0, 300, 200}, 500, 350, left, top);
    EXPECT_EQ(left, 0);
    EXPECT_EQ(top, 0);
    CentreInArea(UiRect{-1000, 0, 0, 768}, 400, 300, left, top);
    EXPECT_EQ(left, -700);
}

TEST(Scale, LengthsRoundToTheNearestPixelAtEveryDpi) {
    const struct {
        int value, dpi, expected;
    } cases[] = {
        {500, 96, 500},
        {500, 120, 625},
        {500, 144, 750},
        {500, 192, 1000},
        {12, 144, 18},
        {1, 144, 2},
        {3, 120, 4},
        {5, 144, 8}, // 7.5 and 3.75 round up
        {-5, 144, -8},
        {-451, 120, -564},
        {0, 192, 0},
        {9999, 192, 19998},
        {7, 0, 7},
        {INT_MAX, 192, INT_MAX},
        {INT_MIN, 192, INT_MIN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ScaleLength(c.value, c.dpi), c.expected) << c.value << " at " << c.dpi;
    for (int dpi : {96, 120, 144, 168, 192})
        for (int v : {-451, 0, 1, 7, 112, 451})
            EXPECT_EQ(UnscaleLength(ScaleLength(v, dpi), dpi), v) << "a scaled length reads back " << v;
    EXPECT_EQ(ScaleEdges(UiRect{16, 0, 8, 10}, 144), (UiRect{24, 0, 12, 15}));
    EXPECT_EQ(ScaleSize(UiSize{500, 350}, 144), (UiSize{750, 525}));
    EXPECT_FALSE(PrefersDoubleImages(96));
    EXPECT_FALSE(PrefersDoubleImages(120)) << "1.25 itself stays with the base images";
    EXPECT_TRUE(PrefersDoubleImages(144));
    EXPECT_EQ(ScaledImageSize(30, 30, false, 144), (UiSize{45, 45}));
    EXPECT_EQ(ScaledImageSize(60, 60, true, 144), (UiSize{45, 45})) << "a 2x image stands for half its pixels";
    EXPECT_EQ(ScaledImageSize(60, 60, true, 192), (UiSize{60, 60}));
    EXPECT_EQ(ScaledImageSize(1, 1, true, 96), (UiSize{1, 1})) << "never empty";
}

// The window's rows at 96 dpi and the same markup scaled: every rectangle
// scales with the dpi, so nothing drifts or overlaps at 150 % and 200 %.
TEST(Scale, ARowLaidOutFromScaledLengthsIsTheScaledRow) {
    // The button row of the main window: flexible space, 112, 16, 112 with padding 0,0,10,10.
    auto row = [](int dpi) {
        LayoutItem flexible, ok = Fixed(ScaleLength(112, dpi), 0), gap = Fixed(ScaleLength(16, dpi), 0),
                             later = Fixed(ScaleLength(112, dpi), 0);
        return Horizontal(UiRect{0, 0, ScaleLength(490, dpi), ScaleLength(32, dpi)}, 0, {flexible, ok, gap, later});
    };
    const auto base = row(96);
    for (int dpi : {144, 192}) {
        const auto scaled = row(dpi);
        for (size_t i = 0; i < base.rects.size(); ++i)
            EXPECT_EQ(scaled.rects[i], ScaleEdges(base.rects[i], dpi)) << "child " << i << " at " << dpi;
    }
    // A floating child (the caption's buttons at 451,8) keeps its place.
    const UiRect window{0, 0, ScaleLength(500, 144), ScaleLength(350, 144)};
    EXPECT_EQ(
        FloatingRect(window, ScaleLength(451, 144), ScaleLength(8, 144), ScaleLength(40, 144), ScaleLength(32, 144)),
        ScaleEdges(FloatingRect(UiRect{0, 0, 500, 350}, 451, 8, 40, 32), 144));
}
