// Turning fuzzer bytes into the texts the parsers take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace FuzzText {

// The bytes split at every `separator`, at most `count` fields; the last field
// keeps the rest, separators included. Missing fields are empty.
inline std::vector<std::string> Fields(const uint8_t* data, size_t size, char separator, size_t count) {
    std::vector<std::string> fields;
    const char* p = reinterpret_cast<const char*>(data);
    const char* end = p + size;
    while (fields.size() + 1 < count) {
        const char* hit = p;
        while (hit < end && *hit != separator)
            ++hit;
        fields.emplace_back(p, hit);
        if (hit == end) {
            p = end;
            break;
        }
        p = hit + 1;
    }
    fields.emplace_back(p, end);
    fields.resize(count);
    return fields;
}

// Little-endian UTF-16 units, as Windows hands texts over: lone surrogates and
// embedded zeros included. An odd last byte is dropped.
inline std::wstring Utf16Units(const std::string& bytes) {
    std::wstring text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += static_cast<wchar_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8);
    return text;
}

// One unit per byte (Latin-1), for texts that are ASCII in practice.
inline std::wstring Widened(const std::string& bytes) {
    std::wstring text;
    text.reserve(bytes.size());
    for (char c : bytes)
        text += static_cast<wchar_t>(static_cast<uint8_t>(c));
    return text;
}

// A fuzzer fault: the process stops with a message libFuzzer reports as a crash.
// A copy of exactly `size` bytes on the heap (the fuzzer's own buffer may be
// larger), so that the sanitizer catches any read past the end.
inline std::unique_ptr<uint8_t[]> ExactCopy(const uint8_t* data, size_t size) {
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[size ? size : 1]);
    if (size)
        std::memcpy(bytes.get(), data, size);
    return bytes;
}

[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

inline void Check(bool condition, const char* what) {
    if (!condition)
        Fail(what);
}

} // namespace FuzzText
