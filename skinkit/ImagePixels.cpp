#include "ImagePixels.h"

#include <algorithm>
#include <climits>
#include <cmath>
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

namespace {

// Weights are fixed-point with 14 fraction bits; each output pixel's sum to 1 << 14.
constexpr int kWeightBits = 14;
constexpr int kWeightOne = 1 << kWeightBits;

// For each output index along one axis: the source indices and their weights.
struct Taps {
    std::vector<int> first;     // index of the first source pixel per output pixel
    std::vector<int> count;     // how many follow it
    std::vector<size_t> offset; // where output pixel i's weights start
    std::vector<int> weights;   // count[i] weights per output pixel, summing to kWeightOne
};

Taps AxisTaps(int from, int to) {
    Taps t;
    t.first.resize(to);
    t.count.resize(to);
    t.offset.resize(to);
    const double step = static_cast<double>(from) / to;
    const double radius = step > 1.0 ? step : 1.0;
    std::vector<double> w;
    for (int i = 0; i < to; ++i) {
        const double centre = (i + 0.5) * step - 0.5;
        int lo = static_cast<int>(std::floor(centre - radius)) + 1;
        int hi = static_cast<int>(std::ceil(centre + radius)) - 1;
        if (lo < 0)
            lo = 0;
        if (hi > from - 1)
            hi = from - 1;
        if (hi < lo)
            hi = lo = centre < 0 ? 0 : from - 1;
        w.clear();
        double sum = 0;
        for (int j = lo; j <= hi; ++j) {
            const double weight = 1.0 - std::fabs(j - centre) / radius;
            w.push_back(weight > 0 ? weight : 0);
            sum += w.back();
        }
        t.first[i] = lo;
        t.count[i] = hi - lo + 1;
        t.offset[i] = t.weights.size();
        // Rounded weights, the rounding error given to the largest so the sum is exact.
        int total = 0;
        size_t largest = 0;
        for (size_t k = 0; k < w.size(); ++k) {
            const int fixed = sum > 0 ? static_cast<int>(w[k] / sum * kWeightOne + 0.5) : 0;
            t.weights.push_back(fixed);
            total += fixed;
            if (w[k] > w[largest])
                largest = k;
        }
        t.weights[t.offset[i] + largest] += kWeightOne - total;
    }
    return t;
}

// Exact doubling, the common case of a 200 % display: with the linear filter
// above each output pixel takes 9/16 of its source pixel, 3/16 of the nearest
// one across and of the nearest one down, and 1/16 of the diagonal one (an
// edge's missing neighbour is the pixel itself). Done as 3:1 across, kept
// per source row, then 3:1 down; two channels share each 32-bit value, as
// 16 x 255 never reaches the next channel's bits.
void DoubleInto(const DecodedImage& image, uint32_t* out) {
    const int w = image.width, h = image.height;
    constexpr uint32_t kLanes = 0x00FF00FF, kHalf = 0x00080008;
    // The across mixes of each output column for three source rows at a time
    // (the row and the ones above and below): blue and red lanes, then green
    // and alpha lanes.
    const size_t width2 = static_cast<size_t>(w) * 2;
    std::vector<uint32_t> across(width2 * 2 * 3);
    auto mixAcross = [&](int y, uint32_t* even) {
        const uint32_t* row = &image.pixels[static_cast<size_t>(y) * w];
        uint32_t* odd = even + width2;
        for (int x = 0; x < w; ++x) {
            const uint32_t self = row[x], left = row[x > 0 ? x - 1 : x], right = row[x + 1 < w ? x + 1 : x];
            even[2 * x] = (self & kLanes) * 3 + (left & kLanes);
            even[2 * x + 1] = (self & kLanes) * 3 + (right & kLanes);
            odd[2 * x] = ((self >> 8) & kLanes) * 3 + ((left >> 8) & kLanes);
            odd[2 * x + 1] = ((self >> 8) & kLanes) * 3 + ((right >> 8) & kLanes);
        }
    };
    auto slot = [&](int y) { return &across[static_cast<size_t>(y % 3) * width2 * 2]; };
    mixAcross(0, slot(0));
    if (h > 1)
        mixAcross(1, slot(1));
    for (int y = 0; y < h; ++y) {
        const uint32_t* self = slot(y);
        const uint32_t* up = y > 0 ? slot(y - 1) : self;
        const uint32_t* down = y + 1 < h ? slot(y + 1) : self;
        for (int half = 0; half < 2; ++half) {
            const uint32_t* other = half == 0 ? up : down;
            uint32_t* dst = out + static_cast<size_t>(2 * y + half) * width2;
            for (size_t x = 0; x < width2; ++x) {
                const uint32_t even = ((self[x] * 3 + other[x] + kHalf) >> 4) & kLanes;
                const uint32_t odd = ((self[width2 + x] * 3 + other[width2 + x] + kHalf) >> 4) & kLanes;
                dst[x] = even | odd << 8;
            }
        }
        if (y + 2 < h)
            mixAcross(y + 2, slot(y + 2)); // into the slot of row y - 1, done with now
    }
}

} // namespace

bool ResizeSizesValid(const DecodedImage& image, int width, int height) {
    return image.width > 0 && image.height > 0 && width > 0 && height > 0 && width <= kMaxImageSide &&
           height <= kMaxImageSide && static_cast<int64_t>(width) * height <= kMaxImagePixels &&
           image.pixels.size() == static_cast<size_t>(image.width) * image.height;
}

DecodedImage ResizePixels(const DecodedImage& image, int width, int height) {
    DecodedImage out;
    if (!ResizeSizesValid(image, width, height))
        return out;
    out.width = width;
    out.height = height;
    out.hasTransparency = image.hasTransparency;
    out.pixels.resize(static_cast<size_t>(width) * height);
    ResizePixelsInto(image, width, height, out.pixels.data());
    return out;
}

bool ResizePixelsInto(const DecodedImage& image, int width, int height, uint32_t* out) {
    if (!ResizeSizesValid(image, width, height))
        return false;
    if (width == image.width && height == image.height) {
        std::memcpy(out, image.pixels.data(), image.pixels.size() * sizeof(uint32_t));
        return true;
    }
    if (width == 2 * image.width && height == 2 * image.height) {
        DoubleInto(image, out);
        return true;
    }
    const Taps across = AxisTaps(image.width, width);
    const Taps down = AxisTaps(image.height, height);
    // Rows first, into 8.8 fixed-point channels (255.996 at most fits 16 bits);
    // then columns, whose products stay below 2^30.
    std::vector<uint16_t> rows(static_cast<size_t>(image.height) * width * 4);
    for (int y = 0; y < image.height; ++y) {
        const uint32_t* src = &image.pixels[static_cast<size_t>(y) * image.width];
        uint16_t* dst = &rows[static_cast<size_t>(y) * width * 4];
        for (int x = 0; x < width; ++x, dst += 4) {
            uint32_t b = 0, g = 0, r = 0, a = 0;
            const int* w = &across.weights[across.offset[x]];
            const uint32_t* p = src + across.first[x];
            for (int k = 0; k < across.count[x]; ++k) {
                b += (p[k] & 0xFF) * w[k];
                g += ((p[k] >> 8) & 0xFF) * w[k];
                r += ((p[k] >> 16) & 0xFF) * w[k];
                a += (p[k] >> 24) * w[k];
            }
            constexpr int shift = kWeightBits - 8;
            constexpr uint32_t half = 1u << (shift - 1);
            dst[0] = static_cast<uint16_t>((b + half) >> shift);
            dst[1] = static_cast<uint16_t>((g + half) >> shift);
            dst[2] = static_cast<uint16_t>((r + half) >> shift);
            dst[3] = static_cast<uint16_t>((a + half) >> shift);
        }
    }
    const size_t stride = static_cast<size_t>(width) * 4;
    // Whole rows at a time: the compiler turns these loops into vector code.
    std::vector<uint32_t> acc(stride);
    for (int y = 0; y < height; ++y) {
        const int* w = &down.weights[down.offset[y]];
        std::fill(acc.begin(), acc.end(), 0u);
        for (int k = 0; k < down.count[y]; ++k) {
            const uint16_t* row = &rows[static_cast<size_t>(down.first[y] + k) * stride];
            const uint32_t weight = static_cast<uint32_t>(w[k]);
            for (size_t i = 0; i < stride; ++i)
                acc[i] += row[i] * weight;
        }
        constexpr int shift = kWeightBits + 8;
        constexpr uint32_t half = 1u << (shift - 1);
        uint32_t* dst = out + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            uint32_t channel[4];
            for (int c = 0; c < 4; ++c) {
                const uint32_t v = (acc[static_cast<size_t>(x) * 4 + c] + half) >> shift;
                channel[c] = v > 255 ? 255 : v;
            }
            // Premultiplied: no colour channel above the alpha.
            for (int c = 0; c < 3; ++c)
                if (channel[c] > channel[3])
                    channel[c] = channel[3];
            dst[x] = channel[0] | channel[1] << 8 | channel[2] << 16 | channel[3] << 24;
        }
    }
    return true;
}

} // namespace SkinKit
