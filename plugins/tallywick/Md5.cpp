#include "Md5.h"

#include <windows.h>

#include <bcrypt.h>

#include <cstdio>
#include <vector>

namespace Tallywick {

namespace {

struct AlgorithmHandle {
    BCRYPT_ALG_HANDLE handle = nullptr;
    ~AlgorithmHandle() {
        if (handle)
            BCryptCloseAlgorithmProvider(handle, 0);
    }
};

struct HashHandle {
    BCRYPT_HASH_HANDLE handle = nullptr;
    ~HashHandle() {
        if (handle)
            BCryptDestroyHash(handle);
    }
};

bool Succeeded(NTSTATUS status) {
    return status >= 0;
}

} // namespace

std::string Md5Hex(const std::string& bytes) {
    AlgorithmHandle algorithm;
    if (!Succeeded(BCryptOpenAlgorithmProvider(&algorithm.handle, BCRYPT_MD5_ALGORITHM, nullptr, 0)))
        return "";
    // The hash state lives in a buffer of ours: Windows Vista does not allocate it itself.
    DWORD objectLength = 0;
    ULONG written = 0;
    if (!Succeeded(BCryptGetProperty(algorithm.handle, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectLength),
                                     sizeof objectLength, &written, 0)) ||
        objectLength == 0)
        return "";
    std::vector<UCHAR> state(objectLength);
    HashHandle hash; // destroyed before the state buffer it uses
    if (!Succeeded(BCryptCreateHash(algorithm.handle, &hash.handle, state.data(), objectLength, nullptr, 0, 0)))
        return "";
    // Hash in pieces so that a length never has to be cut to fit a ULONG.
    const size_t kPiece = 1 << 20;
    for (size_t offset = 0; offset < bytes.size(); offset += kPiece) {
        size_t length = bytes.size() - offset < kPiece ? bytes.size() - offset : kPiece;
        auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data() + offset));
        if (!Succeeded(BCryptHashData(hash.handle, data, static_cast<ULONG>(length), 0)))
            return "";
    }
    UCHAR digest[16] = {};
    if (!Succeeded(BCryptFinishHash(hash.handle, digest, sizeof digest, 0)))
        return "";
    char text[33] = {};
    for (int i = 0; i < 16; ++i)
        std::snprintf(text + 2 * i, 3, "%02x", digest[i]);
    return text;
}

} // namespace Tallywick
