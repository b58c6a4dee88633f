// Stand-in for the mail client in tests: appends its command line (UTF-8, one
// line per start) to "ostramail-launches.txt" beside itself, then runs until
// it is terminated. With "--hold-file PATH" it also keeps PATH open without
// sharing, as a running client keeps its mailboxes, so copies of it fail.
#include <UniqueHandle.h>
#include <shellapi.h>
#include <windows.h>

#include <string>

namespace {

std::string ToUtf8(const wchar_t* text) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1)
        return std::string();
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], bytes, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(bytes - 1));
    return out;
}

void RecordCommandLine() {
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    std::wstring record(path, length);
    record.resize(record.rfind(L'\\') + 1);
    record += L"ostramail-launches.txt";

    Ostra::UniqueFile file(CreateFileW(record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    std::string line = ToUtf8(GetCommandLineW()) + "\n";
    DWORD written = 0;
    WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

Ostra::UniqueFile HoldRequestedFile() {
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    Ostra::UniqueFile held;
    for (int i = 0; args != nullptr && i + 1 < count; ++i) {
        if (lstrcmpW(args[i], L"--hold-file") == 0)
            held.reset(CreateFileW(args[i + 1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    }
    LocalFree(args);
    return held;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    RecordCommandLine();
    Ostra::UniqueFile held = HoldRequestedFile();
    for (;;)
        Sleep(INFINITE);
}
