// Image descriptions ("bkimage", "normalimage", "foreimage", ...): either a plain
// image name or a list of key='value' pairs, parsed into the sequence of images
// to draw. Pure C++; the drawing itself lives with the controls.
#pragma once

#include "ValueSyntax.h"

#include <cstdint>
#include <string>
#include <vector>

namespace SkinKit {

struct ImageDrawing {
    std::wstring name;    // "file" / "res": skin file name, or resource name with resType
    std::wstring resType; // "restype": load as a resource of this type; empty for skin files
    bool hasDest = false; // "dest": relative to the control's rectangle
    SkinRect dest;
    bool hasSource = false; // "source": part of the image in image pixels
    SkinRect source;
    SkinRect corner;     // "corner": nine-grid insets, all 0 for a plain stretch
    uint32_t mask = 0;   // "mask": 0xAARRGGBB made transparent when loading; 0 = none
    int fade = 255;      // "fade": constant opacity 0..255
    bool hole = false;   // "hole": skip the centre cell
    bool xTiled = false; // "xtiled"
    bool yTiled = false; // "ytiled"
};

// Parses `description` and then `modifier` (may be null) with the same rules on
// the same state, so the modifier overrides values of the image still pending
// at the end of the description. Every "file"/"res" (or a "restype" when the
// pending image already has one) while an image is pending emits that image
// with the settings so far; the settings carry over to the next image. The
// image pending at the end is emitted last. Images with an empty name are never
// emitted. A text without any well-formed key='value' pair is a plain name.
std::vector<ImageDrawing> ParseImageDescription(const wchar_t* description, const wchar_t* modifier = nullptr);

// Target rectangle in the control's coordinates: the control's rectangle, or
// "dest" offset by its top-left corner with right and bottom clipped to it.
SkinRect ResolveDestRect(const ImageDrawing& drawing, const SkinRect& item);

// Part of the image to use: the whole image, or "source" clipped to the image.
SkinRect ResolveSourceRect(const ImageDrawing& drawing, int imageWidth, int imageHeight);

} // namespace SkinKit
