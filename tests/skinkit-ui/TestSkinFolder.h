// A throw-away skin folder in the temporary directory that the process-wide
// skin store reads from while the object lives.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class TestSkinFolder {
public:
    TestSkinFolder();
    ~TestSkinFolder();
    TestSkinFolder(const TestSkinFolder&) = delete;
    TestSkinFolder& operator=(const TestSkinFolder&) = delete;

    const std::wstring& Path() const { return m_path; }
    void WriteText(const std::wstring& name, const std::wstring& utf16);
    void WriteBytes(const std::wstring& name, const std::vector<uint8_t>& bytes);

private:
    std::wstring m_path;
    std::vector<std::wstring> m_files;
};

// A 24-bit BMP of width x height; pixel(x, y) gives 0xRRGGBB.
template <typename PixelFn> std::vector<uint8_t> MakeBmp(int width, int height, PixelFn pixel) {
    const int stride = (width * 3 + 3) & ~3;
    const uint32_t dataSize = static_cast<uint32_t>(stride * height);
    std::vector<uint8_t> out(54 + dataSize, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, static_cast<uint32_t>(out.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(height));
    out[26] = 1;
    out[28] = 24;
    put32(34, dataSize);
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
    const uint32_t dataSize = static_cast<uint32_t>(width * height * 4);
    std::vector<uint8_t> out(54 + dataSize, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, static_cast<uint32_t>(out.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(height));
    out[26] = 1;
    out[28] = 32;
    put32(34, dataSize);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            put32(54 + (static_cast<size_t>(height - 1 - y) * width + x) * 4, pixel(x, y));
    return out;
}
