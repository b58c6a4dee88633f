// A running 64-bit hash of a file's bytes, for reading a copy back and
// telling whether it holds what was read from its source. XXH3 where the
// processor has SSE2 (several times the speed of CRC-32, which keeps the
// read-back cheap); zlib's CRC-32 where it has not. The choice is made once
// per process, so both sides of a comparison always use the same one.
#pragma once

#include <cstddef>
#include <cstdint>

class ContentHash {
public:
    ContentHash();
    ~ContentHash();
    ContentHash(const ContentHash&) = delete;
    ContentHash& operator=(const ContentHash&) = delete;

    // False when there was no memory for the state; nothing else works then.
    bool valid() const { return xxh_ != nullptr || !fast_; }
    // Starts again, as for an empty file.
    void Reset();
    void Add(const void* data, size_t length);
    // The hash of everything added since the last reset.
    uint64_t Value() const;

private:
    bool fast_;
    void* xxh_ = nullptr; // XXH3 state, when fast_
    uint32_t crc_ = 0;
};

// The XXH3 side, compiled for SSE2 in a unit of its own: nothing of it may
// run on a processor without SSE2.
namespace ContentHashXxh3 {
void* Create();
void Destroy(void* state);
void Reset(void* state);
void Update(void* state, const void* data, size_t length);
uint64_t Digest(const void* state);
} // namespace ContentHashXxh3
