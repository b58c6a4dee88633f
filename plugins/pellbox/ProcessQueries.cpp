#include "ProcessQueries.h"

#include "FileIdentity.h"
#include "SystemLibrary.h"
#include "UniqueHandle.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cwchar>

namespace {

using GetModuleFileNameExFunction = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);
using GetProcessImageFileNameFunction = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD);

constexpr DWORD kNameBufferUnits = 260;
constexpr DWORD kLongNameBufferUnits = 32768;

int wow64Flag = -1;
// Psapi.dll stays loaded once these are bound.
GetModuleFileNameExFunction getModuleFileNameEx = nullptr;
GetProcessImageFileNameFunction getProcessImageFileName = nullptr;

template <typename Function> Function LookUp(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

std::wstring DeviceNameOfDrive(wchar_t letter) {
    const wchar_t drive[3] = {letter, L':', L'\0'};
    wchar_t device[kNameBufferUnits] = {};
    if (!QueryDosDeviceW(drive, device, kNameBufferUnits))
        return {};
    device[kNameBufferUnits - 1] = L'\0';
    return device;
}

bool ImagePathOf(uint32_t id, std::wstring& path) {
    Ostra::UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
    if (!process)
        return false;
    wchar_t name[kNameBufferUnits] = {};
    DWORD length = 0;
    if (IsWow64() && getProcessImageFileName)
        length = getProcessImageFileName(process.get(), name, kNameBufferUnits);
    else if (getModuleFileNameEx)
        length = getModuleFileNameEx(process.get(), nullptr, name, kNameBufferUnits);
    else
        return false;
    if (length >= kNameBufferUnits)
        length = kNameBufferUnits - 1;
    path.assign(name, length);
    return true;
}

bool IsLockError(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

ProgramFileState ProbeProgramFile(const std::wstring& candidate) {
    const DWORD attributes = GetFileAttributesW(candidate.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ProgramFileState::Missing;
    Ostra::UniqueFile file(
        CreateFileW(candidate.c_str(), GENERIC_ALL, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file)
        return ProgramFileState::Free;
    if (IsLockError(GetLastError()))
        return ProgramFileState::Locked;
    // Without the rights for full access (a read-only file, a protected folder) the
    // access check comes before the sharing check; reading without sharing still
    // meets any open the file has.
    Ostra::UniqueFile reader(
        CreateFileW(candidate.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!reader && IsLockError(GetLastError()))
        return ProgramFileState::Locked;
    return ProgramFileState::Refused;
}

// Works for elevated processes too: limited query access is granted to everyone.
bool FullImagePathOf(uint32_t id, std::wstring& path) {
    Ostra::UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    if (!process)
        return false;
    std::vector<wchar_t> name(kLongNameBufferUnits);
    DWORD length = static_cast<DWORD>(name.size());
    if (!QueryFullProcessImageNameW(process.get(), 0, name.data(), &length) || length >= name.size())
        return false;
    path.assign(name.data(), length);
    return true;
}

} // namespace

int IsWow64() {
    if (wow64Flag != -1)
        return wow64Flag;
    using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto isWow64Process = LookUp<IsWow64ProcessFunction>(GetModuleHandleW(L"kernel32"), "IsWow64Process");
    BOOL flag = FALSE;
    if (!isWow64Process || !isWow64Process(GetCurrentProcess(), &flag))
        flag = FALSE;
    wow64Flag = flag;
    return wow64Flag;
}

bool BindProcessNameFunctions() {
    if (getModuleFileNameEx || getProcessImageFileName)
        return true;
    HMODULE psapi = Ostra::LoadSystemLibrary(L"Psapi.dll");
    if (!psapi)
        return false;
    getModuleFileNameEx = LookUp<GetModuleFileNameExFunction>(psapi, "GetModuleFileNameExW");
    getProcessImageFileName = LookUp<GetProcessImageFileNameFunction>(psapi, "GetProcessImageFileNameW");
    if (!getModuleFileNameEx && !getProcessImageFileName) {
        FreeLibrary(psapi);
        return false;
    }
    return true;
}

bool TakeProcessSnapshot(std::vector<ProcessEntry>& entries) {
    entries.clear();
    Ostra::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        ProcessEntry item;
        item.id = entry.th32ProcessID;
        item.parentId = entry.th32ParentProcessID;
        item.exeName.assign(entry.szExeFile, wcsnlen(entry.szExeFile, MAX_PATH));
        entries.push_back(std::move(item));
    }
    return true;
}

int IsProcessRunningByFilePath(const std::wstring& path) {
    BindProcessNameFunctions();
    std::wstring target = ComparablePath(path);
    if (IsWow64() && !target.empty())
        target = DeviceFormPath(target, DeviceNameOfDrive(target[0]));
    std::vector<ProcessEntry> entries;
    if (!TakeProcessSnapshot(entries))
        return 0;
    // A program file has many names (another drive letter, a short name, a
    // link on the way): a process runs it when its image is the same file.
    std::vector<Ostra::FileIdentity> file(1);
    const bool known = Ostra::ReadIdentity(path, &file[0]) == Ostra::IdentityRead::Read;
    const auto runsTarget = [&](uint32_t id) {
        std::wstring image;
        return known && FullImagePathOf(id, image) && Ostra::IsOneOf(image, file) == Ostra::IdentityAnswer::Yes;
    };
    return AnyProcessWithImagePath(entries, GetCurrentProcessId(), target, &ImagePathOf, runsTarget) ? 1 : 0;
}

int IsProcessRunningByFileName(const std::wstring& name) {
    std::vector<ProcessEntry> entries;
    if (!TakeProcessSnapshot(entries))
        return 0;
    return AnyProcessNamed(entries, GetCurrentProcessId(), name) ? 1 : 0;
}

int IsProcessRunningByDirectory(const std::wstring& directory) {
    std::vector<ProcessEntry> entries;
    if (!TakeProcessSnapshot(entries))
        return 0;
    return AnyProgramInUseInDirectory(entries, GetCurrentProcessId(), directory, &ProbeProgramFile, &FullImagePathOf)
               ? 1
               : 0;
}

std::wstring GetParentProcessName() {
    std::vector<ProcessEntry> entries;
    if (!TakeProcessSnapshot(entries))
        return {};
    return ParentProcessName(entries, GetCurrentProcessId());
}
