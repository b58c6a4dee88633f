// Fitting a single line of text into a width. No Windows calls here: the
// width of a candidate text comes from the caller's measure.
#pragma once

#include <functional>
#include <string>

namespace SkinKit {

using MeasureTextFn = std::function<int(const std::wstring&)>;

// text when it fits maxWidth; otherwise its beginning and end around "…",
// keeping as many characters as fit (the end gets the odd one: in a path it
// is the folder's own name). Never splits a surrogate pair. "…" alone when
// not even one character fits beside it.
std::wstring EllipsizeMiddle(const std::wstring& text, int maxWidth, const MeasureTextFn& measure);

} // namespace SkinKit
