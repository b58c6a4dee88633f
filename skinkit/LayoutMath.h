// Geometry of the toolkit without any window: rectangles, the flow of a
// vertical or horizontal layout, floating placement, label and progress sizes,
// the nine-grid split of an image, non-client hit testing and centring.
#pragma once

#include <functional>
#include <vector>

namespace SkinKit {

struct UiRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool operator==(const UiRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

struct UiSize {
    int cx = 0, cy = 0;
    bool operator==(const UiSize& o) const { return cx == o.cx && cy == o.cy; }
};

// The markup gives lengths in pixels at 96 dpi; a window at another dpi draws
// each of them this many times larger, rounded to the nearest pixel (halves
// away from zero, so a length and its negative stay opposite).
constexpr int kBaseDpi = 96;
int ScaleLength(int value, int dpi);
// Each edge (or inset) scaled on its own: a rectangle that starts at 0 keeps
// its width as ScaleLength of its width.
UiRect ScaleEdges(const UiRect& r, int dpi);
// The inverse: a length measured in pixels at dpi, in markup units.
int UnscaleLength(int pixels, int dpi);
UiSize ScaleSize(const UiSize& s, int dpi);
// Above a scale of 1.25 the skin's double-size images (when it has them) are
// the better source.
bool PrefersDoubleImages(int dpi);
// The size an image of width x height (its own pixels, doubleSize when it is
// the skin's 2x variant) is drawn from at dpi; never below one pixel.
UiSize ScaledImageSize(int width, int height, bool doubleSize, int dpi);

// Intersection; empty (all zero) when the rectangles do not meet.
UiRect IntersectRects(const UiRect& a, const UiRect& b);
bool RectContains(const UiRect& r, int x, int y);

// What a layout needs to know of one child.
struct LayoutItem {
    bool visible = true;
    bool floating = false;
    UiRect padding;
    int fixedWidth = 0, fixedHeight = 0;
    int minWidth = 0, minHeight = 0;
    int maxWidth = 9999, maxHeight = 9999;
};

// Desired size of child `index` for the given available size.
using DesiredSizeFn = std::function<UiSize(size_t index, UiSize available)>;

struct LayoutOutcome {
    // One rectangle per child; invisible and floating children keep an empty one
    // and placed[i] false (floating children are placed by FloatingRect).
    std::vector<UiRect> rects;
    std::vector<bool> placed;
    int needed = 0; // height (vertical) or width (horizontal) the children need
};

// rc is the layout rectangle (item rectangle less inset and visible scroll bars).
LayoutOutcome LayoutVertically(const UiRect& rc, int childPadding, const std::vector<LayoutItem>& items,
                               const DesiredSizeFn& desired);
LayoutOutcome LayoutHorizontally(const UiRect& rc, int childPadding, const std::vector<LayoutItem>& items,
                                 const DesiredSizeFn& desired);

// Place a floating child of fixed size w x h at offset x,y in container R:
// non-negative offsets count from the left/top edge, negative ones from the
// right/bottom edge.
UiRect FloatingRect(const UiRect& container, int offsetX, int offsetY, int width, int height);

// The inverse: offset and size recomputed from a floating child's rectangle.
void FloatingOffsetFromRect(const UiRect& container, const UiRect& child, int& offsetX, int& offsetY);

// "pos" l,t,r,b: offset x = l if l >= 0 else r, y likewise; size r-l, b-t
// (a negative size leaves the current one).
struct PosValue {
    int offsetX = 0, offsetY = 0;
    int width = -1, height = -1; // -1: not changed
};
PosValue InterpretPos(int l, int t, int r, int b);

// Desired size of a label: fixed size when a height is fixed, otherwise the
// fixed width and the text height + 4. With auto width the width is the text
// width plus the left and right text padding.
UiSize LabelDesiredSize(int fixedWidth, int fixedHeight, int textMetricHeight, bool autoWidth, int textWidth,
                        const UiRect& textPadding);

// Range correction and fill rectangle of a progress bar, relative to the item.
struct ProgressRange {
    int minimum = 0, maximum = 100, value = 0;
};
ProgressRange NormaliseProgress(ProgressRange r);
UiRect ProgressFillRect(int width, int height, bool horizontal, ProgressRange range);

// One piece of an image drawing: a destination rectangle and the source
// rectangle of the image that is stretched into it.
struct ImagePiece {
    UiRect dest;
    UiRect source;
};
// Splits dest/source by the corner insets into up to nine cells; corners are
// unscaled, edges stretched along one axis, the centre both ways (or tiled).
std::vector<ImagePiece> SplitImage(const UiRect& dest, const UiRect& source, const UiRect& corner, bool xTiled,
                                   bool yTiled, bool hole);

// Non-client hit test of a borderless window in client coordinates. Returns a
// Win32 HT* code; overCaptionControl says whether the point lies on a control
// that does not claim the mouse (anything but buttons and the like).
int NonClientHitTest(const UiRect& client, int x, int y, const UiRect& sizeBox, const UiRect& caption, bool maximised,
                     const std::function<bool()>& dragsWindow);

// Top-left corner that centres a window of the given size in area, kept inside it.
void CentreInArea(const UiRect& area, int width, int height, int& left, int& top);

} // namespace SkinKit
