// A stand-in for a running program: waits until "stop.flag" appears beside
// it, or 60 seconds at most.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring flag = self;
    flag = flag.substr(0, flag.find_last_of(L'\\') + 1) + L"stop.flag";
    for (int i = 0; i < 600; ++i) {
        if (GetFileAttributesW(flag.c_str()) != INVALID_FILE_ATTRIBUTES)
            return 0;
        Sleep(100);
    }
    return 1;
}
