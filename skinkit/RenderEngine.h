// Drawing primitives of the toolkit: colour fills and gradients, borders, text
// and skin images (nine-grid, tiling, fade, hole, per-pixel alpha).
#pragma once

#include <windows.h>

#include <string>

namespace SkinKit {

class CPaintManagerUI;
struct TImageInfo;

// Restricts drawing to a rectangle (rounded when round has a size) while alive.
class ClipScope {
public:
    ClipScope(HDC hdc, const RECT& rc, SIZE round = SIZE{0, 0});
    ~ClipScope();
    ClipScope(const ClipScope&) = delete;
    ClipScope& operator=(const ClipScope&) = delete;

private:
    HDC m_hdc;
    int m_saved;
};

// The GDI colour of a 0xAARRGGBB skin colour; GDI has no alpha.
inline COLORREF ToColorRef(DWORD argb) {
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

// Colours are 0xAARRGGBB; a fill with alpha below 255 is blended.
void DrawColor(HDC hdc, const RECT& rc, DWORD color);
void DrawGradient(HDC hdc, const RECT& rc, DWORD top, DWORD bottom);
void DrawRectOutline(HDC hdc, const RECT& rc, int size, DWORD color);
void DrawSideBorders(HDC hdc, const RECT& rc, const RECT& sizes, DWORD color);
void DrawRoundRect(HDC hdc, const RECT& rc, SIZE round, int size, DWORD color);

// Single-line text without prefix processing, transparent background; the
// colour's alpha byte is ignored.
void DrawPlainText(HDC hdc, CPaintManagerUI& manager, RECT rc, const std::wstring& text, DWORD color, int font,
                   UINT style);

// Draws every image of a description (and its modifier) into the item
// rectangle. False when an image of the description cannot be loaded.
bool DrawImageString(HDC hdc, CPaintManagerUI& manager, const RECT& item, const std::wstring& description,
                     const wchar_t* modify = nullptr);

// Draws rcSource of the image into rcDest with the nine-grid insets.
void DrawImagePieces(HDC hdc, const TImageInfo& image, const RECT& rcDest, const RECT& rcSource, const RECT& corner,
                     BYTE fade, bool hole, bool xTiled, bool yTiled);

} // namespace SkinKit
