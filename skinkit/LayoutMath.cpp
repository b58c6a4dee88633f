#include "LayoutMath.h"

#include <algorithm>
#include <climits>

namespace SkinKit {

namespace {

int Clamp(int v, int lo, int hi) {
    if (v < lo)
        v = lo;
    if (v > hi)
        v = hi;
    return v;
}

// Both layouts are the same flow along one axis; Axis picks the coordinates.
struct Axis {
    bool vertical;
    int Main(UiSize s) const { return vertical ? s.cy : s.cx; }
    int PadBefore(const LayoutItem& i) const { return vertical ? i.padding.top : i.padding.left; }
    int PadAfter(const LayoutItem& i) const { return vertical ? i.padding.bottom : i.padding.right; }
    int CrossPadBefore(const LayoutItem& i) const { return vertical ? i.padding.left : i.padding.top; }
    int CrossPadAfter(const LayoutItem& i) const { return vertical ? i.padding.right : i.padding.bottom; }
    int MinMain(const LayoutItem& i) const { return vertical ? i.minHeight : i.minWidth; }
    int MaxMain(const LayoutItem& i) const { return vertical ? i.maxHeight : i.maxWidth; }
    int MinCross(const LayoutItem& i) const { return vertical ? i.minWidth : i.minHeight; }
    int MaxCross(const LayoutItem& i) const { return vertical ? i.maxWidth : i.maxHeight; }
    int FixedCross(const LayoutItem& i) const { return vertical ? i.fixedWidth : i.fixedHeight; }
};

LayoutOutcome Flow(const Axis& axis, const UiRect& rc, int childPadding, const std::vector<LayoutItem>& items,
                   const DesiredSizeFn& desired) {
    LayoutOutcome out;
    out.rects.resize(items.size());
    out.placed.assign(items.size(), false);
    if (items.empty())
        return out;

    const UiSize available{rc.Width(), rc.Height()};
    const int availableMain = axis.Main(available);
    const int availableCross = axis.vertical ? available.cx : available.cy;

    int fixedTotal = 0, flexibleCount = 0, count = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        const LayoutItem& item = items[i];
        if (!item.visible || item.floating)
            continue;
        int main = axis.Main(desired(i, available));
        if (main == 0)
            ++flexibleCount;
        else
            main = Clamp(main, axis.MinMain(item), axis.MaxMain(item));
        fixedTotal += main + axis.PadBefore(item) + axis.PadAfter(item);
        ++count;
    }
    if (count > 1)
        fixedTotal += childPadding * (count - 1);

    int flexible = 0;
    if (flexibleCount > 0)
        flexible = std::max(0, (availableMain - fixedTotal) / flexibleCount);

    int pos = axis.vertical ? rc.top : rc.left;
    int remaining = availableMain;
    for (size_t i = 0; i < items.size(); ++i) {
        const LayoutItem& item = items[i];
        if (!item.visible || item.floating)
            continue;
        remaining -= axis.PadBefore(item);
        UiSize room = axis.vertical ? UiSize{availableCross, remaining} : UiSize{remaining, availableCross};
        int main = axis.Main(desired(i, room));
        if (main == 0)
            main = flexible;
        main = Clamp(main, axis.MinMain(item), axis.MaxMain(item));

        int cross = axis.FixedCross(item);
        if (cross == 0)
            cross = std::max(0, availableCross - axis.CrossPadBefore(item) - axis.CrossPadAfter(item));
        cross = Clamp(cross, axis.MinCross(item), axis.MaxCross(item));

        UiRect r;
        if (axis.vertical) {
            r.left = rc.left + item.padding.left;
            r.top = pos + item.padding.top;
            r.right = r.left + cross;
            r.bottom = r.top + main;
        } else {
            r.left = pos + item.padding.left;
            r.top = rc.top + item.padding.top;
            r.right = r.left + main;
            r.bottom = r.top + cross;
        }
        out.rects[i] = r;
        out.placed[i] = true;
        pos += axis.PadBefore(item) + main + axis.PadAfter(item) + childPadding;
        out.needed += axis.PadBefore(item) + main + axis.PadAfter(item);
        remaining -= main + childPadding + axis.PadAfter(item);
    }
    if (count > 1)
        out.needed += childPadding * (count - 1);
    return out;
}

} // namespace

int ScaleLength(int value, int dpi) {
    if (dpi == kBaseDpi || dpi <= 0)
        return value;
    const long long scaled = static_cast<long long>(value) * dpi;
    const long long rounded = scaled >= 0 ? (scaled + kBaseDpi / 2) / kBaseDpi : -((-scaled + kBaseDpi / 2) / kBaseDpi);
    if (rounded > INT_MAX)
        return INT_MAX;
    if (rounded < INT_MIN)
        return INT_MIN;
    return static_cast<int>(rounded);
}

int UnscaleLength(int pixels, int dpi) {
    if (dpi == kBaseDpi || dpi <= 0)
        return pixels;
    const long long scaled = static_cast<long long>(pixels) * kBaseDpi;
    const long long rounded = scaled >= 0 ? (scaled + dpi / 2) / dpi : -((-scaled + dpi / 2) / dpi);
    return static_cast<int>(rounded); // |pixels * 96 / dpi| <= |pixels| for dpi >= 96; bounded by int otherwise
}

UiRect ScaleEdges(const UiRect& r, int dpi) {
    return UiRect{ScaleLength(r.left, dpi), ScaleLength(r.top, dpi), ScaleLength(r.right, dpi),
                  ScaleLength(r.bottom, dpi)};
}

UiSize ScaleSize(const UiSize& s, int dpi) {
    return UiSize{ScaleLength(s.cx, dpi), ScaleLength(s.cy, dpi)};
}

bool PrefersDoubleImages(int dpi) {
    return dpi * 4 > kBaseDpi * 5;
}

UiSize ScaledImageSize(int width, int height, bool doubleSize, int dpi) {
    // A double-size image is a base image of twice the pixels: scale from 192 dpi.
    const int from = doubleSize ? 2 * kBaseDpi : kBaseDpi;
    auto scale = [&](int v) {
        const long long s = (static_cast<long long>(v) * dpi + from / 2) / from;
        return s < 1 ? 1 : s > INT_MAX ? INT_MAX : static_cast<int>(s);
    };
    return UiSize{scale(width), scale(height)};
}

UiRect IntersectRects(const UiRect& a, const UiRect& b) {
    UiRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
             std::min(a.bottom, b.bottom)};
    if (r.IsEmpty())
        return UiRect{};
    return r;
}

bool RectContains(const UiRect& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

LayoutOutcome LayoutVertically(const UiRect& rc, int childPadding, const std::vector<LayoutItem>& items,
                               const DesiredSizeFn& desired) {
    return Flow(Axis{true}, rc, childPadding, items, desired);
}

LayoutOutcome LayoutHorizontally(const UiRect& rc, int childPadding, const std::vector<LayoutItem>& items,
                                 const DesiredSizeFn& desired) {
    return Flow(Axis{false}, rc, childPadding, items, desired);
}

UiRect FloatingRect(const UiRect& container, int offsetX, int offsetY, int width, int height) {
    UiRect r;
    if (offsetX >= 0) {
        r.left = container.left + offsetX;
        r.right = r.left + width;
    } else {
        r.right = container.right + offsetX;
        r.left = r.right - width;
    }
    if (offsetY >= 0) {
        r.top = container.top + offsetY;
        r.bottom = r.top + height;
    } else {
        r.bottom = container.bottom + offsetY;
        r.top = r.bottom - height;
    }
    return r;
}

void FloatingOffsetFromRect(const UiRect& container, const UiRect& child, int& offsetX, int& offsetY) {
    offsetX = offsetX >= 0 ? child.left - container.left : child.right - container.right;
    offsetY = offsetY >= 0 ? child.top - container.top : child.bottom - container.bottom;
}

PosValue InterpretPos(int l, int t, int r, int b) {
    PosValue p;
    p.offsetX = l >= 0 ? l : r;
    p.offsetY = t >= 0 ? t : b;
    if (r - l >= 0)
        p.width = r - l;
    if (b - t >= 0)
        p.height = b - t;
    return p;
}

UiSize LabelDesiredSize(int fixedWidth, int fixedHeight, int textMetricHeight, bool autoWidth, int textWidth,
                        const UiRect& textPadding) {
    if (autoWidth)
        fixedWidth = textWidth + textPadding.left + textPadding.right;
    if (fixedHeight > 0)
        return UiSize{fixedWidth, fixedHeight};
    return UiSize{fixedWidth, textMetricHeight + 4};
}

ProgressRange NormaliseProgress(ProgressRange r) {
    if (r.maximum <= r.minimum) {
        // The range needs one step; at the top of the int range it is taken below.
        if (r.minimum == INT_MAX)
            r.minimum = INT_MAX - 1;
        r.maximum = r.minimum + 1;
    }
    r.value = Clamp(r.value, r.minimum, r.maximum);
    return r;
}

UiRect ProgressFillRect(int width, int height, bool horizontal, ProgressRange range) {
    range = NormaliseProgress(range);
    // 64-bit products: a wide bar with a large range must not overflow.
    const long long span = static_cast<long long>(range.maximum) - range.minimum;
    if (horizontal) {
        long long right = static_cast<long long>(width) * (static_cast<long long>(range.value) - range.minimum) / span;
        return UiRect{0, 0, static_cast<int>(right), height};
    }
    long long top = static_cast<long long>(height) * (static_cast<long long>(range.maximum) - range.value) / span;
    return UiRect{0, static_cast<int>(top), width, height};
}

namespace {

// Cuts one stretched span into tiles of the source's length; the last tile
// uses only as much of the source as fits.
void AddTiled(std::vector<ImagePiece>& out, const UiRect& dest, const UiRect& src, bool xTiled, bool yTiled) {
    if (dest.IsEmpty() || src.IsEmpty())
        return;
    const int stepX = xTiled ? src.Width() : dest.Width();
    const int stepY = yTiled ? src.Height() : dest.Height();
    for (int y = dest.top; y < dest.bottom; y += stepY) {
        for (int x = dest.left; x < dest.right; x += stepX) {
            ImagePiece p;
            p.dest = UiRect{x, y, std::min(x + stepX, dest.right), std::min(y + stepY, dest.bottom)};
            p.source = src;
            if (xTiled)
                p.source.right = src.left + p.dest.Width();
            if (yTiled)
                p.source.bottom = src.top + p.dest.Height();
            out.push_back(p);
        }
    }
}

} // namespace

std::vector<ImagePiece> SplitImage(const UiRect& dest, const UiRect& source, const UiRect& corner, bool xTiled,
                                   bool yTiled, bool hole) {
    std::vector<ImagePiece> out;
    const int dx[4] = {dest.left, dest.left + corner.left, dest.right - corner.right, dest.right};
    const int dy[4] = {dest.top, dest.top + corner.top, dest.bottom - corner.bottom, dest.bottom};
    const int sx[4] = {source.left, source.left + corner.left, source.right - corner.right, source.right};
    const int sy[4] = {source.top, source.top + corner.top, source.bottom - corner.bottom, source.bottom};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            if (hole && row == 1 && col == 1)
                continue;
            UiRect d{dx[col], dy[row], dx[col + 1], dy[row + 1]};
            UiRect s{sx[col], sy[row], sx[col + 1], sy[row + 1]};
            if (d.IsEmpty() || s.IsEmpty())
                continue;
            // Corners keep their size; only the stretched middle spans tile.
            AddTiled(out, d, s, xTiled && col == 1, yTiled && row == 1);
        }
    }
    return out;
}

int NonClientHitTest(const UiRect& client, int x, int y, const UiRect& sizeBox, const UiRect& caption, bool maximised,
                     const std::function<bool()>& dragsWindow) {
    enum {
        HtClient = 1,
        HtCaption = 2,
        HtLeft = 10,
        HtRight,
        HtTop,
        HtTopLeft,
        HtTopRight,
        HtBottom,
        HtBottomLeft,
        HtBottomRight
    };
    if (!maximised) {
        const bool left = x < client.left + sizeBox.left;
        const bool right = x > client.right - sizeBox.right;
        if (y < client.top + sizeBox.top)
            return left ? HtTopLeft : right ? HtTopRight : HtTop;
        if (y > client.bottom - sizeBox.bottom)
            return left ? HtBottomLeft : right ? HtBottomRight : HtBottom;
        if (left)
            return HtLeft;
        if (right)
            return HtRight;
    }
    if (x >= client.left + caption.left && x < client.right - caption.right && y >= client.top + caption.top &&
        y < client.top + caption.bottom) {
        if (dragsWindow && dragsWindow())
            return HtCaption;
    }
    return HtClient;
}

void CentreInArea(const UiRect& area, int width, int height, int& left, int& top) {
    left = (area.left + area.right) / 2 - width / 2;
    top = (area.top + area.bottom) / 2 - height / 2;
    if (left < area.left || left + width > area.right)
        left = left < area.left ? area.left : area.right - width;
    if (top < area.top || top + height > area.bottom)
        top = top < area.top ? area.top : area.bottom - height;
}

} // namespace SkinKit
