#include "ImageLoader.h"

#include "ImagePixels.h"
#include "SkinResources.h"

#include <cstring>
#include <vector>

namespace SkinKit {

TImageInfo::~TImageInfo() {
    if (hBitmap)
        DeleteObject(hBitmap);
}

std::unique_ptr<TImageInfo> LoadSkinImageFromBytes(const void* data, size_t size, DWORD mask) {
    DecodedImage decoded;
    if (!DecodeImagePixels(data, size, mask, decoded))
        return nullptr;

    BITMAPINFO info;
    std::memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = decoded.width;
    info.bmiHeader.biHeight = -decoded.height; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(decoded.pixels.size() * 4);

    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        if (bitmap)
            DeleteObject(bitmap);
        return nullptr;
    }
    std::memcpy(bits, decoded.pixels.data(), decoded.pixels.size() * 4);

    std::unique_ptr<TImageInfo> image(new TImageInfo());
    image->hBitmap = bitmap;
    image->nX = decoded.width;
    image->nY = decoded.height;
    image->alphaChannel = decoded.hasTransparency;
    image->dwMask = mask;
    return image;
}

std::unique_ptr<TImageInfo> LoadSkinImage(const wchar_t* name, const wchar_t* resType, DWORD mask, CSkinStore* store) {
    if (!name || *name == 0)
        return nullptr;
    CSkinStore& source = store ? *store : SkinStore();
    std::vector<uint8_t> bytes;
    const bool fromResource = resType && *resType != 0;
    const wchar_t* error = fromResource ? source.ReadResource(name, resType, bytes) : source.ReadImageFile(name, bytes);
    if (error)
        return nullptr;
    std::unique_ptr<TImageInfo> image = LoadSkinImageFromBytes(bytes.data(), bytes.size(), mask);
    if (image && fromResource)
        image->sResType = resType;
    return image;
}

} // namespace SkinKit
