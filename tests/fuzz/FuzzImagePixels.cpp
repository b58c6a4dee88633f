// Image files from arbitrary bytes through the pixel loader: a decoded image has
// the size it claims, within the limits, and every pixel is there.
#include "ImagePixels.h"

#include "FuzzText.h"

#include <memory>

using namespace SkinKit;
using FuzzText::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::unique_ptr<uint8_t[]> bytes = FuzzText::ExactCopy(data, size);

    DecodedImage image;
    if (DecodeImagePixels(bytes.get(), size, 0xFFFF00FF, image)) {
        Check(image.width > 0 && image.height > 0, "empty image decoded");
        Check(image.width <= kMaxImageSide && image.height <= kMaxImageSide, "side beyond the limit");
        Check(int64_t(image.width) * image.height <= kMaxImagePixels, "pixel count beyond the limit");
        Check(image.pixels.size() == size_t(image.width) * size_t(image.height), "pixel buffer size");
        uint32_t sum = 0;
        for (uint32_t pixel : image.pixels)
            sum += pixel;
        (void)sum;
    } else {
        Check(image.width == 0 && image.height == 0 && image.pixels.empty(), "failed decode left pixels");
    }
    return 0;
}
