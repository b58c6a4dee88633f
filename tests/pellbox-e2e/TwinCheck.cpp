// Loads Pellbox.dll like a foreign caller and writes what each plain twin
// returns, one "key=value" line each, as UTF-16LE.
//   TwinCheck <Pellbox.dll> <results file> <work folder>
//   TwinCheck --parent <Pellbox.dll> <results file>   (writes only the parent's name)
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using IntOfText = int(__cdecl*)(const wchar_t*);
using IntOfNothing = int(__cdecl*)();
using TextOfText = wchar_t*(__cdecl*)(const wchar_t*);
using TextOfNothing = wchar_t*(__cdecl*)();

HMODULE pellbox = nullptr;
std::wstring results;

template <typename Function> Function Find(const char* name) {
    auto function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(pellbox, name)));
    if (!function)
        results += L"missing=" + std::wstring(name, name + strlen(name)) + L"\r\n";
    return function;
}

void Record(const std::wstring& key, const std::wstring& value) {
    results += key + L"=" + value + L"\r\n";
}

// The twins hand over new[]'d buffers; this caller shares the runtime, so it may free them.
std::wstring Take(wchar_t* text) {
    if (!text)
        return L"<null>";
    std::wstring value = text;
    delete[] text;
    return value;
}

bool WriteResults(const wchar_t* path) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const std::wstring text = L"\xFEFF" + results;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
    return true;
}

void WriteFileText(const std::wstring& path, const char* text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(file);
}

int RunChild(const std::wstring& self, const std::wstring& dll, const std::wstring& out) {
    std::wstring commandLine = L"\"" + self + L"\" --parent \"" + dll + L"\" \"" + out + L"\"";
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(self.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return 1;
    WaitForSingleObject(info.hProcess, 30000);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 4 && std::wstring(argv[1]) == L"--parent") {
        pellbox = LoadLibraryW(argv[2]);
        if (!pellbox)
            return 2;
        if (auto parent = Find<TextOfNothing>("DLLGetParentProcessName"))
            Record(L"parent", Take(parent()));
        return WriteResults(argv[3]) ? 0 : 3;
    }
    if (argc != 4) {
        std::fwprintf(stderr, L"usage: TwinCheck <Pellbox.dll> <results> <work folder>\n");
        return 2;
    }
    const std::wstring dll = argv[1];
    const std::wstring work = argv[3];
    pellbox = LoadLibraryW(dll.c_str());
    if (!pellbox) {
        std::fwprintf(stderr, L"cannot load %ls: %lu\n", dll.c_str(), GetLastError());
        return 2;
    }

    auto isWow64 = Find<IntOfNothing>("DLLIsWow64");
    auto byPath = Find<IntOfText>("DLLIsProcessRunningByFilePath");
    auto byName = Find<IntOfText>("DLLIsProcessRunningByFileName");
    auto byDirectory = Find<IntOfText>("DLLIsProcessRunningByDirectory");
    auto deleteFolder = Find<IntOfText>("DLLDeleteFolder");
    auto hardSn = Find<TextOfNothing>("DLLGetHardSNW");
    auto uuid = Find<TextOfNothing>("DLLGetAppUUID");
    auto urlEncode = Find<TextOfText>("DLLUrlEncode");
    auto mac = Find<TextOfNothing>("DLLGetMacAddress");
    auto parent = Find<TextOfNothing>("DLLGetParentProcessName");
    auto time = Find<TextOfNothing>("DLLGetLocalTimeString");
    if (!isWow64 || !byPath || !byName || !byDirectory || !deleteFolder || !hardSn || !uuid || !urlEncode || !mac ||
        !parent || !time)
        return WriteResults(argv[2]) ? 4 : 3;
    if (GetProcAddress(pellbox, "DLLRebuildIconCache"))
        Record(L"unexpected", L"DLLRebuildIconCache");

    Record(L"wow64", std::to_wstring(isWow64()));
    Record(L"byname.services", std::to_wstring(byName(L"SERVICES.exe")));
    Record(L"byname.none", std::to_wstring(byName(L"no-such-program.exe")));
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    Record(L"bypath.services", std::to_wstring(byPath((std::wstring(system) + L"\\services.exe").c_str())));
    Record(L"bypath.none", std::to_wstring(byPath((std::wstring(system) + L"\\nothing.exe").c_str())));
    Record(L"bydir.work", std::to_wstring(byDirectory((work + L"\\").c_str())));

    const std::wstring tree = work + L"\\twin-tree";
    CreateDirectoryW(tree.c_str(), nullptr);
    CreateDirectoryW((tree + L"\\子目录").c_str(), nullptr);
    WriteFileText(tree + L"\\子目录\\ro.txt", "r");
    SetFileAttributesW((tree + L"\\子目录\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    Record(L"delete.tree", std::to_wstring(deleteFolder((tree + L"/").c_str())));
    Record(L"delete.tree.left", std::to_wstring(GetFileAttributesW(tree.c_str()) != INVALID_FILE_ATTRIBUTES));
    Record(L"delete.missing", std::to_wstring(deleteFolder(tree.c_str())));
    Record(L"delete.null", std::to_wstring(deleteFolder(nullptr)));

    // Paths past what the NSIS commands take are refused by every path twin, however long.
    for (const size_t length : {size_t(260), size_t(1500), size_t(40000)}) {
        std::wstring longPath = work + L"\\" + std::wstring(length, L'a');
        longPath.resize(length);
        const std::wstring key = L"long" + std::to_wstring(length);
        Record(key + L".delete", std::to_wstring(deleteFolder(longPath.c_str())));
        Record(key + L".bypath", std::to_wstring(byPath(longPath.c_str())));
        Record(key + L".byname", std::to_wstring(byName(longPath.c_str())));
        Record(key + L".bydir", std::to_wstring(byDirectory(longPath.c_str())));
    }

    Record(L"sn", Take(hardSn()));
    Record(L"uuid", Take(uuid()));
    Record(L"uuid2", Take(uuid()));
    Record(L"url.ascii", Take(urlEncode(L"a b&c~-._*'()")));
    Record(L"url.chinese", Take(urlEncode(L"中文 邮件")));
    Record(L"url.empty", Take(urlEncode(L"")));
    Record(L"mac", Take(mac()));
    Record(L"time", Take(time()));
    Record(L"parent.self", Take(parent()));

    // The parent's name as a child of this program sees it (the test names this copy in Chinese).
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring childOut = work + L"\\twin-parent.txt";
    Record(L"child.started", std::to_wstring(RunChild(self, dll, childOut) == 0));
    return WriteResults(argv[2]) ? 0 : 3;
}
