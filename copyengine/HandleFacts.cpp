#include "HandleFacts.h"

#include "FileIdentity.h"

bool QueryFileIndex(HANDLE file, uint64_t* index) {
    return Ostra::ReadFileIndex(file, index);
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
    Ostra::FileIdentity a, b;
    if (!Ostra::ReadHandleIdentity(first, &a) || !Ostra::ReadHandleIdentity(second, &b))
        return true;
    return Ostra::IsSameIdentity(a, b);
}
