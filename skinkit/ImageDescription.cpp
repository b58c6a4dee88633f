#include "ImageDescription.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace SkinKit {

namespace {

// A control coordinate plus an offset from the markup, which may be anything an
// int holds: the sum saturates instead of wrapping round.
int OffsetCoordinate(int base, int offset) {
    const int64_t sum = int64_t(base) + offset;
    return static_cast<int>(std::min<int64_t>(std::max<int64_t>(sum, INT_MIN), INT_MAX));
}

bool IsSpace(wchar_t c) {
    return c != 0 && c <= 32;
}

struct Pair {
    std::wstring key;
    std::wstring value;
};

// Reads the key='value' pairs of `text`; stops at the first malformed pair.
std::vector<Pair> ReadPairs(const wchar_t* text) {
    std::vector<Pair> pairs;
    const wchar_t* p = text;
    for (;;) {
        while (IsSpace(*p))
            ++p;
        const wchar_t* keyStart = p;
        while (*p != 0 && *p != L'=' && !IsSpace(*p))
            ++p;
        const wchar_t* keyEnd = p;
        while (IsSpace(*p))
            ++p;
        if (keyEnd == keyStart || *p != L'=')
            break;
        ++p;
        while (IsSpace(*p))
            ++p;
        if (*p != L'\'')
            break;
        ++p;
        const wchar_t* valueStart = p;
        while (*p != 0 && *p != L'\'')
            ++p;
        if (*p != L'\'')
            break;
        pairs.push_back(Pair{std::wstring(keyStart, keyEnd), std::wstring(valueStart, p)});
        ++p;
    }
    return pairs;
}

class DescriptionReader {
public:
    void Read(const wchar_t* text) {
        if (!text || *text == 0)
            return;
        std::vector<Pair> pairs = ReadPairs(text);
        if (pairs.empty()) {
            SetName(text);
            return;
        }
        for (const Pair& pair : pairs)
            Apply(pair.key, pair.value);
    }

    std::vector<ImageDrawing> Finish() {
        Emit();
        return std::move(m_images);
    }

private:
    void Emit() {
        if (!m_current.name.empty())
            m_images.push_back(m_current);
        m_current.name.clear();
        m_hasResType = false;
    }

    void SetName(const std::wstring& name) {
        if (!m_current.name.empty())
            Emit();
        m_current.name = name;
    }

    void Apply(const std::wstring& key, const std::wstring& value) {
        const wchar_t* v = value.c_str();
        if (key == L"file" || key == L"res") {
            SetName(value);
        } else if (key == L"restype") {
            // A second resource type for the same pending image starts a new one;
            // the first one belongs to the image already named.
            if (!m_current.name.empty() && m_hasResType)
                Emit();
            m_current.resType = value;
            m_hasResType = true;
        } else if (key == L"dest") {
            m_current.dest = ParseRect(v);
            m_current.hasDest = true;
        } else if (key == L"source") {
            m_current.source = ParseRect(v);
            m_current.hasSource = true;
        } else if (key == L"corner") {
            m_current.corner = ParseRect(v);
        } else if (key == L"mask") {
            m_current.mask = ParseColor(v);
        } else if (key == L"fade") {
            m_current.fade = std::min(255, std::max(0, ParseInt(v)));
        } else if (key == L"hole") {
            m_current.hole = ParseBool(v);
        } else if (key == L"xtiled") {
            m_current.xTiled = ParseBool(v);
        } else if (key == L"ytiled") {
            m_current.yTiled = ParseBool(v);
        }
    }

    ImageDrawing m_current;
    bool m_hasResType = false; // "restype" given since the current image was started
    std::vector<ImageDrawing> m_images;
};

} // namespace

std::vector<ImageDrawing> ParseImageDescription(const wchar_t* description, const wchar_t* modifier) {
    DescriptionReader reader;
    reader.Read(description);
    reader.Read(modifier);
    return reader.Finish();
}

SkinRect ResolveDestRect(const ImageDrawing& drawing, const SkinRect& item) {
    if (!drawing.hasDest)
        return item;
    SkinRect r;
    r.left = OffsetCoordinate(item.left, drawing.dest.left);
    r.top = OffsetCoordinate(item.top, drawing.dest.top);
    r.right = std::min(OffsetCoordinate(item.left, drawing.dest.right), item.right);
    r.bottom = std::min(OffsetCoordinate(item.top, drawing.dest.bottom), item.bottom);
    return r;
}

SkinRect ResolveSourceRect(const ImageDrawing& drawing, int imageWidth, int imageHeight) {
    SkinRect r;
    r.right = imageWidth;
    r.bottom = imageHeight;
    if (!drawing.hasSource)
        return r;
    r.left = std::min(std::max(drawing.source.left, 0), imageWidth);
    r.top = std::min(std::max(drawing.source.top, 0), imageHeight);
    r.right = std::min(std::max(drawing.source.right, r.left), imageWidth);
    r.bottom = std::min(std::max(drawing.source.bottom, r.top), imageHeight);
    return r;
}

} // namespace SkinKit
