#include "PellboxExports.h"

#include "FolderDeletion.h"
#include "MachineIdentity.h"
#include "ProcessQueries.h"
#include "SmallUtilities.h"
#include "TimeText.h"

#include <shlobj.h>

#include <cwchar>
#include <new>

namespace {

constexpr size_t kPathArgumentUnits = 260;
constexpr size_t kTextArgumentUnits = 8196;

std::wstring SafeText(const wchar_t* text) {
    return text ? std::wstring(text) : std::wstring();
}

// Runs an operation so that no exception leaves the library; a failure gives fallback.
template <typename Operation, typename Result> Result Guarded(Operation operation, Result fallback) {
    try {
        return operation();
    } catch (...) {
        return fallback;
    }
}

template <typename Operation> int GuardedInt(Operation operation) {
    return Guarded(operation, 0);
}

template <typename Operation> std::wstring GuardedText(Operation operation) {
    return Guarded(operation, std::wstring());
}

template <typename Operation> wchar_t* TwinText(Operation operation) {
    wchar_t* result = nullptr;
    try {
        result = NewCallerString(operation());
    } catch (...) {
    }
    return result ? result : new (std::nothrow) wchar_t[1]();
}

// A path that does not fit the NSIS command's buffer is refused by both forms
// of a command, before any system call sees it.
bool FitsPathArgument(const wchar_t* path) {
    return path && wcsnlen(path, kPathArgumentUnits) < kPathArgumentUnits;
}

template <typename Query> void PushPathQuery(Query query) {
    wchar_t argument[kPathArgumentUnits] = {};
    bool truncated = false;
    PopString(argument, &truncated);
    PushInt(truncated ? 0 : GuardedInt([&] { return query(std::wstring(argument)); }));
}

template <typename Query> int TwinPathQuery(Query query, const wchar_t* path) {
    return FitsPathArgument(path) ? GuardedInt([&] { return query(std::wstring(path)); }) : 0;
}

} // namespace

extern "C" {

PELLBOX_NSIS_EXPORT(NSISDeleteFolder) {
    EnterPluginFrame(string_size, variables, stacktop, extra);
    // A path cut to the buffer could name one of the folder's parents, so a
    // path that does not fit is refused rather than deleted.
    wchar_t argument[kPathArgumentUnits] = {};
    bool truncated = false;
    PopString(argument, &truncated);
    PushInt(truncated ? 0 : GuardedInt([&] { return DeleteFolder(std::wstring(argument)); }));
}

PELLBOX_NSIS_EXPORT(NSISIsWow64) {
    EnterPluginFrame(string_size, variables, stacktop, extra);
    PushInt(IsWow64());
}

PELLBOX_NSIS_EXPORT(NSISIsProcessRunningByFilePath) {
    EnterPluginFrame(string_size, variables, stacktop, extra);
    PushPathQuery(&IsProcessRunningByFilePath);
}

PELLBOX_NSIS_EXPORT(NSISIsProcessRunningByFileName) {
    EnterPluginFrame(string_size, variables, stacktop, extra);
    PushPathQuery(&IsProcessRunningByFileName);
}

PELLBOX_NSIS_EXPORT(NSISIsProcessRunningByDirectory) {
    EnterPluginFrame(string_size, variables, stacktop, extra);
    PushPathQuery(&IsProcessRunningByDirectory);
}

PELLBOX_NSIS_EXPORT(NSISGetHardSNW) {
    EnterPluginFrame(string_size, variables, stacktop, extra);
    PushString(GuardedText(&GetHardSN));
}

PELLBOX_NSIS_EXPORT(NSISGetAppUUID) {
    EnterPluginFrame(string_size, variables, stacktop, extra);
    PushString(GuardedText(&NewAppUuid));
}

PELLBOX_NSIS_EXPORT(NSISUrlEncode) {
    EnterPluginFrame(string_size, variables, stacktop, extra);
    // The encoded text is cut only between whole characters, at what the host can carry.
    const size_t room = string_size > 1 ? static_cast<size_t>(string_size) - 1 : 0;
    PushString(GuardedText([&] {
        std::wstring text;
        PopWholeString(text, kTextArgumentUnits);
        return FromNarrowText(UrlEncode(text, room));
    }));
}

PELLBOX_NSIS_EXPORT(NSISGetMacAddress) {
    EnterPluginFrame(string_size, variables, stacktop, extra);
    PushString(GuardedText([] { return FromNarrowText(GetMacAddressList()); }));
}

PELLBOX_NSIS_EXPORT(NSISGetParentProcessName) {
    EnterPluginFrame(string_size, variables, stacktop, extra);
    PushString(GuardedText(&GetParentProcessName));
}

PELLBOX_NSIS_EXPORT(NSISGetLocalTimeString) {
    EnterPluginFrame(string_size, variables, stacktop, extra);
    PushString(GuardedText([] { return FromNarrowText(FormatTimeText(GetTimeSeconds())); }));
}

// Only a notification to the shell: no frame, no stack.
PELLBOX_NSIS_EXPORT(NSISRebuildIconCache) {
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

int __cdecl DLLDeleteFolder(const wchar_t* path) {
    return TwinPathQuery(&DeleteFolder, path);
}

int __cdecl DLLIsWow64() {
    return IsWow64();
}

int __cdecl DLLIsProcessRunningByFilePath(const wchar_t* path) {
    return TwinPathQuery(&IsProcessRunningByFilePath, path);
}

int __cdecl DLLIsProcessRunningByFileName(const wchar_t* name) {
    return TwinPathQuery(&IsProcessRunningByFileName, name);
}

int __cdecl DLLIsProcessRunningByDirectory(const wchar_t* directory) {
    return TwinPathQuery(&IsProcessRunningByDirectory, directory);
}

wchar_t* __cdecl DLLGetHardSNW() {
    return TwinText(&GetHardSN);
}

wchar_t* __cdecl DLLGetAppUUID() {
    return TwinText(&NewAppUuid);
}

wchar_t* __cdecl DLLUrlEncode(const wchar_t* text) {
    return TwinText([&] { return FromNarrowText(UrlEncode(SafeText(text))); });
}

wchar_t* __cdecl DLLGetMacAddress() {
    return TwinText([] { return FromNarrowText(GetMacAddressList()); });
}

wchar_t* __cdecl DLLGetParentProcessName() {
    return TwinText(&GetParentProcessName);
}

wchar_t* __cdecl DLLGetLocalTimeString() {
    return TwinText([] { return FromNarrowText(FormatTimeText(GetTimeSeconds())); });
}

} // extern "C"
