// Loading a system library at run time from the system folder only. A bare
// name given to LoadLibrary is searched for in the program's own folder first,
// so a program started from a download folder could load a planted copy.
#pragma once

#include <windows.h>

#include <string>

namespace Ostra {

// name is a file name such as L"Psapi.dll"; null when the system folder has no such library.
inline HMODULE LoadSystemLibrary(const wchar_t* name) {
    HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module || GetLastError() != ERROR_INVALID_PARAMETER)
        return module;
    // Systems without the search flags reject them: name the file in the system folder instead.
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    std::wstring path(folder, length);
    path += L'\\';
    path += name;
    return LoadLibraryW(path.c_str());
}

} // namespace Ostra
