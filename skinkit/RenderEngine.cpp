#include "RenderEngine.h"

#include "ImageDescription.h"
#include "ImageLoader.h"
#include "LayoutMath.h"
#include "PaintManagerUI.h"
#include "UniqueHandle.h"

namespace SkinKit {

namespace {

class MemoryDC {
public:
    explicit MemoryDC(HDC reference) : m_dc(::CreateCompatibleDC(reference)) {}
    ~MemoryDC() {
        if (m_dc) {
            if (m_old)
                ::SelectObject(m_dc, m_old);
            ::DeleteDC(m_dc);
        }
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    HDC get() const { return m_dc; }
    void Select(HGDIOBJ object) {
        HGDIOBJ old = ::SelectObject(m_dc, object);
        if (!m_old)
            m_old = old;
    }

private:
    HDC m_dc;
    HGDIOBJ m_old = nullptr;
};

void FillSolid(HDC hdc, const RECT& rc, COLORREF color) {
    COLORREF old = ::SetBkColor(hdc, color);
    ::ExtTextOutW(hdc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    ::SetBkColor(hdc, old);
}

} // namespace

ClipScope::ClipScope(HDC hdc, const RECT& rc, SIZE round) : m_hdc(hdc), m_saved(::SaveDC(hdc)) {
    if (round.cx > 0 || round.cy > 0) {
        Ostra::UniqueGdiObject region(
            ::CreateRoundRectRgn(rc.left, rc.top, rc.right + 1, rc.bottom + 1, round.cx, round.cy));
        ::ExtSelectClipRgn(hdc, static_cast<HRGN>(region.get()), RGN_AND);
    } else {
        ::IntersectClipRect(hdc, rc.left, rc.top, rc.right, rc.bottom);
    }
}

ClipScope::~ClipScope() {
    ::RestoreDC(m_hdc, m_saved);
}

void DrawColor(HDC hdc, const RECT& rc, DWORD color) {
    const BYTE alpha = static_cast<BYTE>(color >> 24);
    if (alpha == 0 || ::IsRectEmpty(&rc))
        return;
    if (alpha == 255) {
        FillSolid(hdc, rc, ToColorRef(color));
        return;
    }
    // A one-pixel premultiplied bitmap stretched with AlphaBlend.
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = 1;
    bmi.bmiHeader.biHeight = 1;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    Ostra::UniqueGdiObject bitmap(::CreateDIBSection(hdc, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap.get() || !bits)
        return;
    const DWORD r = ((color >> 16) & 0xFF) * alpha / 255, g = ((color >> 8) & 0xFF) * alpha / 255,
                b = (color & 0xFF) * alpha / 255;
    *static_cast<DWORD*>(bits) = (DWORD(alpha) << 24) | (r << 16) | (g << 8) | b;
    MemoryDC mem(hdc);
    mem.Select(bitmap.get());
    BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::AlphaBlend(hdc, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, mem.get(), 0, 0, 1, 1, bf);
}

void DrawGradient(HDC hdc, const RECT& rc, DWORD top, DWORD bottom) {
    TRIVERTEX v[2];
    v[0].x = rc.left;
    v[0].y = rc.top;
    v[0].Red = static_cast<COLOR16>(((top >> 16) & 0xFF) << 8);
    v[0].Green = static_cast<COLOR16>(((top >> 8) & 0xFF) << 8);
    v[0].Blue = static_cast<COLOR16>((top & 0xFF) << 8);
    v[0].Alpha = 0xFF00;
    v[1].x = rc.right;
    v[1].y = rc.bottom;
    v[1].Red = static_cast<COLOR16>(((bottom >> 16) & 0xFF) << 8);
    v[1].Green = static_cast<COLOR16>(((bottom >> 8) & 0xFF) << 8);
    v[1].Blue = static_cast<COLOR16>((bottom & 0xFF) << 8);
    v[1].Alpha = 0xFF00;
    GRADIENT_RECT gr{0, 1};
    ::GradientFill(hdc, v, 2, &gr, 1, GRADIENT_FILL_RECT_V);
}

void DrawRectOutline(HDC hdc, const RECT& rc, int size, DWORD color) {
    if (size <= 0)
        return;
    const COLORREF c = ToColorRef(color);
    FillSolid(hdc, RECT{rc.left, rc.top, rc.right, rc.top + size}, c);
    FillSolid(hdc, RECT{rc.left, rc.bottom - size, rc.right, rc.bottom}, c);
    FillSolid(hdc, RECT{rc.left, rc.top, rc.left + size, rc.bottom}, c);
    FillSolid(hdc, RECT{rc.right - size, rc.top, rc.right, rc.bottom}, c);
}

void DrawSideBorders(HDC hdc, const RECT& rc, const RECT& sizes, DWORD color) {
    const COLORREF c = ToColorRef(color);
    if (sizes.left > 0)
        FillSolid(hdc, RECT{rc.left, rc.top, rc.left + sizes.left, rc.bottom}, c);
    if (sizes.top > 0)
        FillSolid(hdc, RECT{rc.left, rc.top, rc.right, rc.top + sizes.top}, c);
    if (sizes.right > 0)
        FillSolid(hdc, RECT{rc.right - sizes.right, rc.top, rc.right, rc.bottom}, c);
    if (sizes.bottom > 0)
        FillSolid(hdc, RECT{rc.left, rc.bottom - sizes.bottom, rc.right, rc.bottom}, c);
}

void DrawRoundRect(HDC hdc, const RECT& rc, SIZE round, int size, DWORD color) {
    Ostra::UniqueGdiObject pen(::CreatePen(PS_SOLID | PS_INSIDEFRAME, size, ToColorRef(color)));
    HGDIOBJ oldPen = ::SelectObject(hdc, pen.get());
    HGDIOBJ oldBrush = ::SelectObject(hdc, ::GetStockObject(HOLLOW_BRUSH));
    ::RoundRect(hdc, rc.left, rc.top, rc.right, rc.bottom, round.cx, round.cy);
    ::SelectObject(hdc, oldBrush);
    ::SelectObject(hdc, oldPen);
}

void DrawPlainText(HDC hdc, CPaintManagerUI& manager, RECT rc, const std::wstring& text, DWORD color, int font,
                   UINT style) {
    if (text.empty())
        return;
    HGDIOBJ oldFont = ::SelectObject(hdc, manager.GetFont(font));
    const int oldMode = ::SetBkMode(hdc, TRANSPARENT);
    const COLORREF oldColor = ::SetTextColor(hdc, ToColorRef(color));
    ::DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &rc, style | DT_SINGLELINE | DT_NOPREFIX);
    ::SetTextColor(hdc, oldColor);
    ::SetBkMode(hdc, oldMode);
    ::SelectObject(hdc, oldFont);
}

void DrawImagePieces(HDC hdc, const TImageInfo& image, const RECT& rcDest, const RECT& rcSource, const RECT& corner,
                     BYTE fade, bool hole, bool xTiled, bool yTiled) {
    if (!image.hBitmap)
        return;
    MemoryDC mem(hdc);
    if (!mem.get())
        return;
    mem.Select(image.hBitmap);
    const bool blend = image.alphaChannel || fade < 255;
    BLENDFUNCTION bf{AC_SRC_OVER, 0, fade, static_cast<BYTE>(image.alphaChannel ? AC_SRC_ALPHA : 0)};
    const auto pieces = SplitImage(UiRect{rcDest.left, rcDest.top, rcDest.right, rcDest.bottom},
                                   UiRect{rcSource.left, rcSource.top, rcSource.right, rcSource.bottom},
                                   UiRect{corner.left, corner.top, corner.right, corner.bottom}, xTiled, yTiled, hole);
    const int oldMode = ::SetStretchBltMode(hdc, COLORONCOLOR);
    for (const ImagePiece& p : pieces) {
        const int dw = p.dest.Width(), dh = p.dest.Height(), sw = p.source.Width(), sh = p.source.Height();
        if (blend) {
            ::AlphaBlend(hdc, p.dest.left, p.dest.top, dw, dh, mem.get(), p.source.left, p.source.top, sw, sh, bf);
        } else if (dw == sw && dh == sh) {
            ::BitBlt(hdc, p.dest.left, p.dest.top, dw, dh, mem.get(), p.source.left, p.source.top, SRCCOPY);
        } else {
            ::StretchBlt(hdc, p.dest.left, p.dest.top, dw, dh, mem.get(), p.source.left, p.source.top, sw, sh, SRCCOPY);
        }
    }
    ::SetStretchBltMode(hdc, oldMode);
}

bool DrawImageString(HDC hdc, CPaintManagerUI& manager, const RECT& item, const std::wstring& description,
                     const wchar_t* modify) {
    const auto draws = ParseImageDescription(description.c_str(), modify);
    if (draws.empty())
        return false;
    const SkinRect itemRect{0, 0, item.right - item.left, item.bottom - item.top};
    const int dpi = manager.GetDpi();
    auto scaled = [dpi](const SkinRect& r) {
        return SkinRect{ScaleLength(r.left, dpi), ScaleLength(r.top, dpi), ScaleLength(r.right, dpi),
                        ScaleLength(r.bottom, dpi)};
    };
    for (ImageDrawing draw : draws) {
        // Destination, source and corners are markup lengths; the image itself
        // was resampled to the same scale when it was loaded.
        draw.dest = scaled(draw.dest);
        draw.source = scaled(draw.source);
        draw.corner = scaled(draw.corner);
        const TImageInfo* image = manager.GetImageEx(draw.name, draw.resType, draw.mask);
        if (!image)
            return false;
        // Destinations are relative to the control; ResolveDestRect clips them.
        SkinRect d = ResolveDestRect(draw, itemRect);
        RECT dest{item.left + d.left, item.top + d.top, item.left + d.right, item.top + d.bottom};
        if (dest.right <= dest.left || dest.bottom <= dest.top)
            continue;
        SkinRect s = ResolveSourceRect(draw, image->nX, image->nY);
        RECT source{s.left, s.top, s.right, s.bottom};
        RECT corner{draw.corner.left, draw.corner.top, draw.corner.right, draw.corner.bottom};
        const int fade = draw.fade < 0 ? 0 : draw.fade > 255 ? 255 : draw.fade;
        DrawImagePieces(hdc, *image, dest, source, corner, static_cast<BYTE>(fade), draw.hole, draw.xTiled,
                        draw.yTiled);
    }
    return true;
}

} // namespace SkinKit
