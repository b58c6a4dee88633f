// Image descriptions from arbitrary text: a description, a line feed, then an
// optional modifier. Every image found is resolved against a control and an
// image of ordinary size and against extreme ones.
#include "ImageDescription.h"
#include "MarkupParser.h"

#include "FuzzText.h"

#include <climits>

using namespace SkinKit;
using FuzzText::Check;

namespace {

void CheckResolved(const ImageDrawing& drawing, const SkinRect& item, int width, int height) {
    const SkinRect dest = ResolveDestRect(drawing, item);
    Check(dest.right <= item.right && dest.bottom <= item.bottom, "destination reaches past the control");
    const SkinRect source = ResolveSourceRect(drawing, width, height);
    Check(source.left >= 0 && source.top >= 0 && source.left <= source.right && source.top <= source.bottom &&
              source.right <= width && source.bottom <= height,
          "source outside the image");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> fields = FuzzText::Fields(data, size, '\n', 2);
    const std::wstring description = DecodeUtf8(fields[0].data(), fields[0].size());
    const std::wstring modifier = DecodeUtf8(fields[1].data(), fields[1].size());
    const bool hasModifier = size > fields[0].size();

    for (const ImageDrawing& drawing :
         ParseImageDescription(description.c_str(), hasModifier ? modifier.c_str() : nullptr)) {
        Check(!drawing.name.empty(), "image without a name");
        Check(drawing.fade >= 0 && drawing.fade <= 255, "fade out of range");
        CheckResolved(drawing, SkinRect{10, 20, 410, 320}, 64, 48);
        CheckResolved(drawing, SkinRect{-32768, -32768, 32767, 32767}, 16384, 4096);
        CheckResolved(drawing, SkinRect{INT_MAX - 1, INT_MAX - 1, INT_MAX, INT_MAX}, 0, 0);
        CheckResolved(drawing, SkinRect{INT_MIN, INT_MIN, INT_MIN + 1, INT_MIN + 1}, 1, 1);
    }
    return 0;
}
