#include "ImagePixels.h"

#include <climits>
#include <cstring>
#include <new>

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

// The PNG decoder grows its compressed-data buffer by each chunk's declared
// length before reading it, so a few hundred bytes could make it ask for
// gigabytes. Chunks that claim more bytes than the file holds are refused here.
bool PngChunksFit(const uint8_t* data, size_t size) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < sizeof(kSignature) || std::memcmp(data, kSignature, sizeof(kSignature)) != 0)
        return true; // not a PNG
    size_t pos = sizeof(kSignature);
    while (size - pos >= 12) {
        uint32_t length =
            (static_cast<uint32_t>(data[pos]) << 24) | (data[pos + 1] << 16) | (data[pos + 2] << 8) | data[pos + 3];
        if (length > size - pos - 12)
            return false;
        if (std::memcmp(data + pos + 4, "IEND", 4) == 0)
            return true;
        pos += 12 + static_cast<size_t>(length);
    }
    return false;
}

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
    if (!PngChunksFit(bytes, size))
        return false;
    int width = 0, height = 0, components = 0;
    // Check the header's dimensions before the decoder allocates anything.
    if (!stbi_info_from_memory(bytes, length, &width, &height, &components))
        return false;
    if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide ||
        static_cast<int64_t>(width) * height > kMaxImagePixels)
        return false;
    // No format packs pixels denser than a PNG of 1-bit pixels at deflate's best
    // ratio (1032:1). A header claiming more describes data the file cannot
    // hold; decoders would fill the missing part with zeros at full cost.
    constexpr int64_t kMaxPixelsPerByte = 8 * 1032;
    if (static_cast<int64_t>(width) * height > static_cast<int64_t>(size) * kMaxPixelsPerByte)
        return false;

    StbPixels pixels;
    int decodedWidth = 0, decodedHeight = 0;
    pixels.data = stbi_load_from_memory(bytes, length, &decodedWidth, &decodedHeight, &components, 4);
    if (!pixels.data || decodedWidth != width || decodedHeight != height)
        return false;

    size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    try {
        image.pixels.resize(count);
    } catch (const std::bad_alloc&) {
        return false; // a large image in a crowded 32-bit address space
    }
    image.hasTransparency = PremultiplyPixels(pixels.data, count, mask, image.pixels.data());
    image.width = width;
    image.height = height;
    return true;
}

} // namespace SkinKit
