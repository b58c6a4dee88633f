// Writes small uncompressed BMP files in memory for the tests. Rows are stored
// bottom-up, as most BMP writers store them; pixel(x, y) counts y from the top.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline void PutLE32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// The file and info headers of a width x height BMP, followed by a zeroed pixel area.
inline std::vector<uint8_t> BmpWithEmptyPixels(int width, int height, int bitsPerPixel, size_t stride) {
    const uint32_t dataSize = static_cast<uint32_t>(stride * static_cast<size_t>(height));
    std::vector<uint8_t> out(54 + dataSize, 0);
    out[0] = 'B';
    out[1] = 'M';
    PutLE32(out, 2, static_cast<uint32_t>(out.size()));
    PutLE32(out, 10, 54);
    PutLE32(out, 14, 40);
    PutLE32(out, 18, static_cast<uint32_t>(width));
    PutLE32(out, 22, static_cast<uint32_t>(height));
    out[26] = 1;
    out[28] = static_cast<uint8_t>(bitsPerPixel);
    PutLE32(out, 34, dataSize);
    return out;
}

// A 24-bit BMP; pixel(x, y) gives 0xRRGGBB.
template <typename PixelFn> std::vector<uint8_t> MakeBmp(int width, int height, PixelFn pixel) {
    const size_t stride = static_cast<size_t>((width * 3 + 3) & ~3);
    std::vector<uint8_t> out = BmpWithEmptyPixels(width, height, 24, stride);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = &out[54 + static_cast<size_t>(height - 1 - y) * stride];
        for (int x = 0; x < width; ++x) {
            const uint32_t c = pixel(x, y);
            row[x * 3 + 0] = static_cast<uint8_t>(c);
            row[x * 3 + 1] = static_cast<uint8_t>(c >> 8);
            row[x * 3 + 2] = static_cast<uint8_t>(c >> 16);
        }
    }
    return out;
}

// A 32-bit BMP with alpha; pixel(x, y) gives 0xAARRGGBB (not premultiplied).
template <typename PixelFn> std::vector<uint8_t> MakeBmp32(int width, int height, PixelFn pixel) {
    const size_t stride = static_cast<size_t>(width) * 4;
    std::vector<uint8_t> out = BmpWithEmptyPixels(width, height, 32, stride);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            PutLE32(out, 54 + static_cast<size_t>(height - 1 - y) * stride + static_cast<size_t>(x) * 4, pixel(x, y));
    return out;
}
