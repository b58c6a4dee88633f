// Paints a control tree into an off-screen bitmap and checks chosen pixels.
#include "BmpBuilder.h"
#include "ButtonUI.h"
#include "DialogBuilder.h"
#include "PaintManagerUI.h"
#include "TestSkinFolder.h"

#include <gtest/gtest.h>

#include <cstdint>

using namespace SkinKit;

namespace {

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kYellow = 0xFFFF00, kWhite = 0xFFFFFF,
                   kGray = 0x808080, kBlack = 0x000000;

// A 32-bit top-down bitmap selected into a memory DC.
class Canvas {
public:
    Canvas(int width, int height) : m_width(width), m_height(height) {
        BITMAPINFO bmi{};
        bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
        bmi.bmiHeader.biWidth = width;
        bmi.bmiHeader.biHeight = -height;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        m_dc = ::CreateCompatibleDC(nullptr);
        m_bitmap = ::CreateDIBSection(m_dc, &bmi, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_bits), nullptr, 0);
        m_old = ::SelectObject(m_dc, m_bitmap);
    }
    ~Canvas() {
        ::SelectObject(m_dc, m_old);
        ::DeleteObject(m_bitmap);
        ::DeleteDC(m_dc);
    }
    HDC dc() const { return m_dc; }
    uint32_t At(int x, int y) const {
        ::GdiFlush();
        return m_bits[y * m_width + x] & 0xFFFFFF;
    }
    // Whether some pixel of the rectangle satisfies pred.
    template <typename Pred> bool Any(const RECT& rc, Pred pred) const {
        for (int y = rc.top; y < rc.bottom; ++y)
            for (int x = rc.left; x < rc.right; ++x)
                if (pred(At(x, y)))
                    return true;
        return false;
    }

private:
    int m_width, m_height;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
    uint32_t* m_bits = nullptr;
};

uint32_t GridPixel(int x, int y) {
    const bool left = x < 10, right = x >= 20, top = y < 10, bottom = y >= 20;
    if (left && top)
        return kRed;
    if (right && top)
        return kGreen;
    if (left && bottom)
        return kBlue;
    if (right && bottom)
        return kYellow;
    if (!left && !right && !top && !bottom)
        return kWhite;
    return kGray;
}

struct RenderFixture {
    TestSkinFolder folder;
    CPaintManagerUI pm;
    CDialogBuilder builder;
    CControlUI* root = nullptr;
    Canvas canvas{200, 240};

    RenderFixture() {
        folder.WriteBytes(L"grid.bmp", MakeBmp(30, 30, GridPixel));
        folder.WriteBytes(L"track.bmp", MakeBmp(10, 4, [](int, int) { return kGray; }));
        folder.WriteBytes(L"fill.bmp", MakeBmp(10, 4, [](int, int) { return kGreen; }));
        folder.WriteBytes(L"red.bmp", MakeBmp(4, 4, [](int, int) { return kRed; }));
        folder.WriteBytes(L"green.bmp", MakeBmp(4, 4, [](int, int) { return kGreen; }));
        folder.WriteBytes(L"blue.bmp", MakeBmp(4, 4, [](int, int) { return kBlue; }));
        folder.WriteBytes(L"yellow.bmp", MakeBmp(4, 4, [](int, int) { return kYellow; }));
        folder.WriteBytes(L"halfred.bmp", MakeBmp32(4, 4, [](int, int) { return 0x80FF0000u; }));
        folder.WriteBytes(L"stripes.bmp", MakeBmp(6, 4, [](int x, int) { return x < 3 ? kWhite : kBlue; }));
        root = builder.CreateFromText(LR"(<Window><VerticalLayout bkcolor="#FF000000">
            <Control name="grid" height="60" width="100" bkimage="file='grid.bmp' corner='10,10,10,10'" />
            <Control name="holed" height="60" width="100" bkcolor="#FF0000FF"
                     bkimage="file='grid.bmp' corner='10,10,10,10' hole='true'" />
            <Progress name="bar" height="4" width="200" value="25" bkimage="track.bmp" foreimage="fill.bmp" />
            <Label name="white" height="20" text="WWWW" textcolor="#00FFFFFF" />
            <Button name="btn" height="20" width="40" normalimage="red.bmp" hotimage="green.bmp"
                    pushedimage="blue.bmp" disabledimage="yellow.bmp" />
            <Label name="dark" height="20" text="WWWW" bkcolor="#FFFFFFFF" bordersize="1" bordercolor="#FFFF0000" />
            <Control name="missing" height="10" bkimage="nothere.png" />
            <Control name="faded" height="10" bkimage="file='red.bmp' fade='128'" />
            <Control name="tiled" height="10" width="40" bkimage="file='stripes.bmp' xtiled='true'" />
            <Control name="alpha" height="10" bkcolor="#FFFFFFFF" bkimage="halfred.bmp" />
        </VerticalLayout></Window>)",
                                      nullptr, &pm);
        if (root) {
            pm.AttachDialog(root);
            pm.LayoutTo(RECT{0, 0, 200, 240});
        }
    }
    void Paint() {
        RECT all{0, 0, 200, 240};
        ::FillRect(canvas.dc(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        pm.PaintTo(canvas.dc(), all);
    }
};

} // namespace

TEST(Render, NineGridCornersStayUnscaledAndTheHoleShowsTheBackground) {
    RenderFixture f;
    ASSERT_NE(f.root, nullptr);
    f.Paint();
    EXPECT_EQ(f.canvas.At(5, 5), kRed);
    EXPECT_EQ(f.canvas.At(9, 9), kRed);
    EXPECT_EQ(f.canvas.At(10, 10), kWhite);
    EXPECT_EQ(f.canvas.At(94, 4), kGreen);
    EXPECT_EQ(f.canvas.At(5, 55), kBlue);
    EXPECT_EQ(f.canvas.At(95, 55), kYellow);
    EXPECT_EQ(f.canvas.At(50, 5), kGray);
    EXPECT_EQ(f.canvas.At(50, 30), kWhite);
    EXPECT_EQ(f.canvas.At(150, 30), kBlack); // outside the fixed width: the parent's colour
    // Holed copy 60 px lower: corners drawn, centre left to the background colour.
    EXPECT_EQ(f.canvas.At(5, 65), kRed);
    EXPECT_EQ(f.canvas.At(50, 90), kBlue);
}

TEST(Render, ProgressFillCoversItsShareOfTheTrack) {
    RenderFixture f;
    ASSERT_NE(f.root, nullptr);
    f.Paint();
    EXPECT_EQ(f.canvas.At(0, 121), kGreen);
    EXPECT_EQ(f.canvas.At(49, 121), kGreen);
    EXPECT_EQ(f.canvas.At(50, 121), kGray);
    EXPECT_EQ(f.canvas.At(199, 123), kGray);
}

TEST(Render, TextIgnoresAlphaAndZeroMeansTheDefaultColour) {
    RenderFixture f;
    ASSERT_NE(f.root, nullptr);
    f.Paint();
    // Anti-aliased glyphs: look for nearly white and nearly black pixels.
    EXPECT_TRUE(f.canvas.Any(RECT{0, 124, 200, 144}, [](uint32_t c) { return (c & 0xC0C0C0) == 0xC0C0C0; }));
    EXPECT_TRUE(f.canvas.Any(RECT{1, 165, 199, 183}, [](uint32_t c) { return (c & 0x808080) == 0; }));
    // Border of one pixel around the dark label.
    EXPECT_EQ(f.canvas.At(100, 164), kRed);
    EXPECT_EQ(f.canvas.At(0, 170), kRed);
    EXPECT_EQ(f.canvas.At(100, 183), kRed);
}

TEST(Render, ButtonShowsItsHotImageAndMissingImagesAreDroppedOnce) {
    RenderFixture f;
    ASSERT_NE(f.root, nullptr);
    auto* button = static_cast<CButtonUI*>(f.pm.FindControl(L"btn"));
    f.Paint();
    EXPECT_EQ(f.canvas.At(10, 150), kRed);
    TEventUI enter;
    enter.Type = UIEVENT_MOUSEENTER;
    button->Event(enter);
    f.Paint();
    EXPECT_EQ(f.canvas.At(10, 150), kGreen);
    TEventUI down;
    down.Type = UIEVENT_BUTTONDOWN;
    down.ptMouse = POINT{10, 150};
    button->Event(down);
    f.Paint();
    EXPECT_EQ(f.canvas.At(10, 150), kBlue);
    button->SetAttribute(L"pushedimage", L""); // a pushed state without its image: normal, not hot
    f.Paint();
    EXPECT_EQ(f.canvas.At(10, 150), kRed);
    button->SetEnabled(false); // disabled wins over every other state
    f.Paint();
    EXPECT_EQ(f.canvas.At(10, 150), kYellow);
    button->SetEnabled(true);

    CControlUI* missing = f.pm.FindControl(L"missing");
    EXPECT_TRUE(missing->GetBkImage().empty());
    EXPECT_EQ(f.canvas.At(10, 188), kBlack);
    // Every image is decoded once however often it is painted.
    const size_t decodes = f.pm.GetImageDecodeCount();
    f.Paint();
    EXPECT_EQ(f.pm.GetImageDecodeCount(), decodes);
    EXPECT_EQ(decodes, 10u); // nine images and the missing one's single attempt
}

TEST(Render, FadeAndPerPixelAlphaBlendAndTilingRepeatsWithoutStretching) {
    RenderFixture f;
    ASSERT_NE(f.root, nullptr);
    f.Paint();
    const uint32_t faded = f.canvas.At(50, 198);
    EXPECT_NEAR(static_cast<int>(faded >> 16), 128, 3); // half of red over black
    EXPECT_EQ(faded & 0xFFFF, 0u);
    // 6 px stripes (3 white, 3 blue) repeated over 40 px, the last tile cut.
    EXPECT_EQ(f.canvas.At(1, 206), kWhite);
    EXPECT_EQ(f.canvas.At(4, 206), kBlue);
    EXPECT_EQ(f.canvas.At(7, 206), kWhite);
    EXPECT_EQ(f.canvas.At(37, 206), kWhite);
    EXPECT_EQ(f.canvas.At(38, 206), kWhite);
    EXPECT_EQ(f.canvas.At(39, 206), kBlue);
    EXPECT_EQ(f.canvas.At(41, 206), kBlack);
    // Per-pixel alpha: half-transparent red over white.
    const uint32_t blended = f.canvas.At(100, 215);
    EXPECT_NEAR(static_cast<int>(blended >> 16), 255, 2);
    EXPECT_NEAR(static_cast<int>((blended >> 8) & 0xFF), 127, 3);
    EXPECT_NEAR(static_cast<int>(blended & 0xFF), 127, 3);
}
