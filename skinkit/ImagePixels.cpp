#include "ImagePixels.h"

#include <climits>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
#include <stb_image.h>

namespace SkinKit {

namespace {

struct StbPixels {
    stbi_uc* data = nullptr;
    ~StbPixels() {
        if (data)
            stbi_image_free(data);
    }
};

} // namespace

bool PremultiplyPixels(const uint8_t* rgba, size_t count, uint32_t mask, uint32_t* out) {
    bool transparency = false;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = rgba + i * 4;
        uint32_t r = p[0], g = p[1], b = p[2], a = p[3];
        if (a != 255) {
            r = r * a / 255;
            g = g * a / 255;
            b = b * a / 255;
            transparency = true;
        }
        uint32_t value = (a << 24) | (r << 16) | (g << 8) | b;
        if (mask != 0 && value == mask) {
            value = 0;
            transparency = true;
        }
        out[i] = value;
    }
    return transparency;
}

bool DecodeImagePixels(const void* data, size_t size, uint32_t mask, DecodedImage& image) {
    image = DecodedImage();
    if (!data || size == 0 || size > static_cast<size_t>(INT_MAX))
        return false;
    const stbi_uc* bytes = static_cast<const stbi_uc*>(data);
    int length = static_cast<int>(size);
    int width = 0, height = 0, components = 0;
    // Check the header's dimensions before the decoder allocates anything.
    if (!stbi_info_from_memory(bytes, length, &width, &height, &components))
        return false;
    if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide ||
        static_cast<int64_t>(width) * height > kMaxImagePixels)
        return false;

    StbPixels pixels;
    int decodedWidth = 0, decodedHeight = 0;
    pixels.data = stbi_load_from_memory(bytes, length, &decodedWidth, &decodedHeight, &components, 4);
    if (!pixels.data || decodedWidth != width || decodedHeight != height)
        return false;

    size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    image.pixels.resize(count);
    image.hasTransparency = PremultiplyPixels(pixels.data, count, mask, image.pixels.data());
    image.width = width;
    image.height = height;
    return true;
}

} // namespace SkinKit
