#include "Md5.h"

#include "SystemLibrary.h"
#include "UniqueHandle.h"

#include <windows.h>

#include <bcrypt.h>

#include <cstdio>
#include <vector>

namespace Tallywick {

namespace {

// Bcrypt.dll is bound at run time from the system folder: imported, it would be
// searched for beside the installer first, where anyone could have put a copy.
struct Bcrypt {
    Ostra::UniqueModule module{Ostra::LoadSystemLibrary(L"bcrypt.dll")};
    decltype(&BCryptOpenAlgorithmProvider) openAlgorithmProvider =
        Bind<decltype(openAlgorithmProvider)>("BCryptOpenAlgorithmProvider");
    decltype(&BCryptCloseAlgorithmProvider) closeAlgorithmProvider =
        Bind<decltype(closeAlgorithmProvider)>("BCryptCloseAlgorithmProvider");
    decltype(&BCryptGetProperty) getProperty = Bind<decltype(getProperty)>("BCryptGetProperty");
    decltype(&BCryptCreateHash) createHash = Bind<decltype(createHash)>("BCryptCreateHash");
    decltype(&BCryptHashData) hashData = Bind<decltype(hashData)>("BCryptHashData");
    decltype(&BCryptFinishHash) finishHash = Bind<decltype(finishHash)>("BCryptFinishHash");
    decltype(&BCryptDestroyHash) destroyHash = Bind<decltype(destroyHash)>("BCryptDestroyHash");

    bool Complete() const {
        return openAlgorithmProvider && closeAlgorithmProvider && getProperty && createHash && hashData && finishHash &&
               destroyHash;
    }

private:
    template <typename Function> Function Bind(const char* name) const {
        return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module.get(), name)))
                      : nullptr;
    }
};

struct AlgorithmHandle {
    explicit AlgorithmHandle(const Bcrypt& bcrypt) : bcrypt(bcrypt) {}
    ~AlgorithmHandle() {
        if (handle)
            bcrypt.closeAlgorithmProvider(handle, 0);
    }
    const Bcrypt& bcrypt;
    BCRYPT_ALG_HANDLE handle = nullptr;
};

struct HashHandle {
    explicit HashHandle(const Bcrypt& bcrypt) : bcrypt(bcrypt) {}
    ~HashHandle() {
        if (handle)
            bcrypt.destroyHash(handle);
    }
    const Bcrypt& bcrypt;
    BCRYPT_HASH_HANDLE handle = nullptr;
};

bool Succeeded(NTSTATUS status) {
    return status >= 0;
}

} // namespace

std::string Md5Hex(const std::string& bytes) {
    const Bcrypt bcrypt; // outlives the handles below
    if (!bcrypt.Complete())
        return "";
    AlgorithmHandle algorithm(bcrypt);
    if (!Succeeded(bcrypt.openAlgorithmProvider(&algorithm.handle, BCRYPT_MD5_ALGORITHM, nullptr, 0)))
        return "";
    // The hash state lives in a buffer of ours: Windows Vista does not allocate it itself.
    DWORD objectLength = 0;
    ULONG written = 0;
    if (!Succeeded(bcrypt.getProperty(algorithm.handle, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectLength),
                                      sizeof objectLength, &written, 0)) ||
        objectLength == 0)
        return "";
    std::vector<UCHAR> state(objectLength);
    HashHandle hash(bcrypt); // destroyed before the state buffer it uses
    if (!Succeeded(bcrypt.createHash(algorithm.handle, &hash.handle, state.data(), objectLength, nullptr, 0, 0)))
        return "";
    // Hash in pieces so that a length never has to be cut to fit a ULONG.
    const size_t kPiece = 1 << 20;
    for (size_t offset = 0; offset < bytes.size(); offset += kPiece) {
        size_t length = bytes.size() - offset < kPiece ? bytes.size() - offset : kPiece;
        auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data() + offset));
        if (!Succeeded(bcrypt.hashData(hash.handle, data, static_cast<ULONG>(length), 0)))
            return "";
    }
    UCHAR digest[16] = {};
    if (!Succeeded(bcrypt.finishHash(hash.handle, digest, sizeof digest, 0)))
        return "";
    char text[33] = {};
    for (int i = 0; i < 16; ++i)
        std::snprintf(text + 2 * i, 3, "%02x", digest[i]);
    return text;
}

} // namespace Tallywick
