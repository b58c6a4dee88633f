// Decoding of skin images (PNG, BMP, JPEG, GIF, TGA, ... through stb_image) into
// premultiplied 32-bit pixels ready for a top-down DIB section. Pure C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace SkinKit {

// Images larger than this are refused before decoding. Some decoders set up
// their whole canvas from the header alone (a GIF takes 9 bytes a pixel before
// it reads any data), so the pixel count bounds what a file of a few hundred
// bytes can make the process allocate and clear.
constexpr int kMaxImageSide = 16384;
constexpr int64_t kMaxImagePixels = 16 * 1024 * 1024;

struct DecodedImage {
    int width = 0;
    int height = 0;
    // Top-down rows; each value is 0xAARRGGBB, i.e. the bytes B, G, R, A in
    // memory, with colours premultiplied by alpha.
    std::vector<uint32_t> pixels;
    bool hasTransparency = false;
};

// Converts `count` RGBA pixels: alpha is copied; with alpha 255 the colour is
// copied, otherwise each channel becomes channel * alpha / 255 and the image has
// transparency. A resulting value equal to `mask` (when not 0) becomes 0 and the
// image has transparency. Returns whether any pixel has transparency.
bool PremultiplyPixels(const uint8_t* rgba, size_t count, uint32_t mask, uint32_t* out);

// The image resampled to width x height (both at least 1, within the size
// bounds above): a linear filter when enlarging, and one as wide as a source
// step when reducing, so every source pixel counts. Works on the premultiplied
// values, so edges of transparent areas do not darken.
DecodedImage ResizePixels(const DecodedImage& image, int width, int height);
// The same into width x height pixels the caller holds (a bitmap's own bits);
// false, and nothing written, for sizes ResizePixels refuses.
bool ResizePixelsInto(const DecodedImage& image, int width, int height, uint32_t* out);

// Decodes an image file held in memory. False when the decoder cannot read it or
// its size is out of bounds.
bool DecodeImagePixels(const void* data, size_t size, uint32_t mask, DecodedImage& image);

} // namespace SkinKit
