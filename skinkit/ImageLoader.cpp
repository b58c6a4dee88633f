#include "ImageLoader.h"

#include "ImagePixels.h"
#include "LayoutMath.h"
#include "SkinResources.h"

#include <cstring>
#include <vector>

namespace SkinKit {

TImageInfo::~TImageInfo() {
    if (hBitmap)
        DeleteObject(hBitmap);
}

std::wstring DoubleSizeName(const std::wstring& name) {
    const size_t dot = name.find_last_of(L'.');
    const size_t slash = name.find_last_of(L"\\/");
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash))
        return name + L"@2x";
    return name.substr(0, dot) + L"@2x" + name.substr(dot);
}

std::unique_ptr<TImageInfo> LoadSkinImageFromBytes(const void* data, size_t size, DWORD mask, int dpi,
                                                   bool doubleSize) {
    DecodedImage decoded;
    if (!DecodeImagePixels(data, size, mask, decoded))
        return nullptr;
    // Resampled for the scale straight into the bitmap's bits.
    const UiSize target = dpi != kBaseDpi || doubleSize
                              ? ScaledImageSize(decoded.width, decoded.height, doubleSize, dpi)
                              : UiSize{decoded.width, decoded.height};

    BITMAPINFO info;
    std::memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = target.cx;
    info.bmiHeader.biHeight = -target.cy; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(static_cast<size_t>(target.cx) * target.cy * 4);

    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits || !ResizePixelsInto(decoded, target.cx, target.cy, static_cast<uint32_t*>(bits))) {
        if (bitmap)
            DeleteObject(bitmap);
        return nullptr;
    }

    std::unique_ptr<TImageInfo> image(new TImageInfo());
    image->hBitmap = bitmap;
    image->nX = target.cx;
    image->nY = target.cy;
    image->alphaChannel = decoded.hasTransparency;
    image->dwMask = mask;
    return image;
}

std::unique_ptr<TImageInfo> LoadSkinImage(const wchar_t* name, const wchar_t* resType, DWORD mask, CSkinStore* store,
                                          int dpi) {
    if (!name || *name == 0)
        return nullptr;
    CSkinStore& source = store ? *store : SkinStore();
    std::vector<uint8_t> bytes;
    const bool fromResource = resType && *resType != 0;
    bool doubleSize = false;
    if (!fromResource && PrefersDoubleImages(dpi))
        doubleSize = source.ReadImageFile(DoubleSizeName(name).c_str(), bytes) == nullptr;
    const wchar_t* error = doubleSize     ? nullptr
                           : fromResource ? source.ReadResource(name, resType, bytes)
                                          : source.ReadImageFile(name, bytes);
    if (error)
        return nullptr;
    std::unique_ptr<TImageInfo> image = LoadSkinImageFromBytes(bytes.data(), bytes.size(), mask, dpi, doubleSize);
    if (image && fromResource)
        image->sResType = resType;
    return image;
}

} // namespace SkinKit
