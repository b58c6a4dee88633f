// Loading a skin image into a 32-bit top-down DIB section with premultiplied alpha.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

namespace SkinKit {

class CSkinStore;

// A decoded image; owns its bitmap.
struct TImageInfo {
    HBITMAP hBitmap = nullptr;
    int nX = 0;                // width
    int nY = 0;                // height
    bool alphaChannel = false; // some pixel is not fully opaque
    std::wstring sResType;
    DWORD dwMask = 0;

    TImageInfo() = default;
    ~TImageInfo();
    TImageInfo(const TImageInfo&) = delete;
    TImageInfo& operator=(const TImageInfo&) = delete;
};

// Creates the image from encoded bytes (PNG, BMP, JPEG, ...), resampled for
// dpi (doubleSize: the bytes hold the skin's 2x variant). Null when they
// cannot be decoded or the bitmap cannot be created.
std::unique_ptr<TImageInfo> LoadSkinImageFromBytes(const void* data, size_t size, DWORD mask, int dpi = 96,
                                                   bool doubleSize = false);

// The name of an image's 2x variant: "btn.png" -> "btn@2x.png".
std::wstring DoubleSizeName(const std::wstring& name);

// Loads the image `name`: with a resource type, the resource of that type from
// the store's module; otherwise the skin file (resource folder or skin package,
// then the name as a path of its own). Null when it cannot be found or decoded.
// Uses the process-wide store unless one is given. Above 96 dpi the image is
// resampled once to the scale; above 1.25 a skin file's 2x variant, where the
// skin has one, is the source.
std::unique_ptr<TImageInfo> LoadSkinImage(const wchar_t* name, const wchar_t* resType, DWORD mask,
                                          CSkinStore* store = nullptr, int dpi = 96);

} // namespace SkinKit
