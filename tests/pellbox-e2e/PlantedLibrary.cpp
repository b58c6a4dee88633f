// A stand-in for a system library, planted beside a program to show whether
// the program loads it: on loading it leaves "planted-<its name>-loaded"
// beside itself.
#include <windows.h>

#include <cwctype>
#include <string>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return TRUE;
    std::wstring marker = path;
    const size_t cut = marker.find_last_of(L'\\') + 1;
    std::wstring name = marker.substr(cut);
    for (wchar_t& c : name)
        c = static_cast<wchar_t>(std::towlower(c));
    marker = marker.substr(0, cut) + L"planted-" + name + L"-loaded";
    HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return TRUE;
}
