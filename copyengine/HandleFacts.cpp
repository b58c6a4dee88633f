#include "HandleFacts.h"

namespace {

// The file-system query behind GetFileInformationByHandle, asked for the
// index alone: the full call also asks for the volume's serial number, which
// can cost milliseconds where the volume is served by another process.
struct IoStatusBlock {
    union {
        LONG status;
        void* pointer;
    };
    ULONG_PTR information;
};
using QueryInformationFile = LONG(WINAPI*)(HANDLE, IoStatusBlock*, void*, ULONG, int);
constexpr int kFileInternalInformation = 6;

QueryInformationFile FindQueryInformationFile() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll ? reinterpret_cast<QueryInformationFile>(
                       reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryInformationFile")))
                 : nullptr;
}

} // namespace

bool QueryFileIndex(HANDLE file, uint64_t* index) {
    static const QueryInformationFile query = FindQueryInformationFile();
    uint64_t value = 0;
    if (query) {
        IoStatusBlock status = {};
        LARGE_INTEGER internal = {};
        if (query(file, &status, &internal, sizeof internal, kFileInternalInformation) < 0)
            return false;
        value = static_cast<uint64_t>(internal.QuadPart);
    } else {
        BY_HANDLE_FILE_INFORMATION information;
        if (!GetFileInformationByHandle(file, &information))
            return false;
        value = (uint64_t(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    }
    *index = value;
    return value != 0;
}

bool QuerySizeAndWriteTime(HANDLE file, uint64_t* size, FILETIME* writeTime) {
    FILE_STANDARD_INFO standard;
    FILE_BASIC_INFO basic;
    if (!GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard) ||
        !GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic))
        return false;
    *size = static_cast<uint64_t>(standard.EndOfFile.QuadPart);
    writeTime->dwLowDateTime = basic.LastWriteTime.LowPart;
    writeTime->dwHighDateTime = static_cast<DWORD>(basic.LastWriteTime.HighPart);
    return true;
}

bool CouldBeSameFile(HANDLE first, HANDLE second) {
    BY_HANDLE_FILE_INFORMATION a, b;
    if (!GetFileInformationByHandle(first, &a) || !GetFileInformationByHandle(second, &b))
        return true;
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}
