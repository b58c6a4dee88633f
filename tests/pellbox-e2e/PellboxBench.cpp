// Latency of each Pellbox export as an installer calls it: the NSIS exports
// of the built Pellbox.dll over a host-built stack, first call and the mean
// of further calls. Also how long the disk identity waits for a WMI query
// that never ends.
//   pellbox_bench [Pellbox.dll]
#include "MachineIdentity.h"
#include "PluginFrame.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using NsisExport = void(__cdecl*)(HWND, int, wchar_t*, stack_t**, extra_parameters*);

constexpr int kStringSize = 1024;
constexpr int kRepeats = 5;

int __stdcall IgnoreRegistration(HMODULE, NSISPLUGINCALLBACK) {
    return 0;
}

struct Stack {
    stack_t* top = nullptr;
    wchar_t variables[16] = {};
    extra_parameters extra = {};
    Stack() { extra.RegisterPluginCallback = &IgnoreRegistration; }
    ~Stack() {
        while (top) {
            stack_t* next = top->next;
            GlobalFree(top);
            top = next;
        }
    }
    void Push(const std::wstring& text) {
        auto* entry = static_cast<stack_t*>(GlobalAlloc(GPTR, sizeof(stack_t) + kStringSize * sizeof(wchar_t)));
        lstrcpynW(entry->text, text.c_str(), kStringSize);
        entry->next = top;
        top = entry;
    }
};

double Milliseconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::wstring scratch;

void MakeSmallTree() {
    CreateDirectoryW(scratch.c_str(), nullptr);
    CreateDirectoryW((scratch + L"\\sub").c_str(), nullptr);
    for (const wchar_t* name : {L"\\a.txt", L"\\sub\\b.txt"}) {
        HANDLE file = CreateFileW((scratch + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(file);
    }
}

double TimeCall(NsisExport function, const wchar_t* argument, bool needsTree, std::wstring& result) {
    if (needsTree)
        MakeSmallTree();
    Stack stack;
    if (argument)
        stack.Push(argument);
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    function(nullptr, kStringSize, stack.variables, &stack.top, &stack.extra);
    QueryPerformanceCounter(&end);
    result = stack.top ? stack.top->text : L"";
    return Milliseconds(start, end);
}

DiskIdentityCache hangingCache;
std::string HangingQuery() {
    Sleep(INFINITE);
    return {};
}

} // namespace

int main(int argc, char** argv) {
    std::string dll = argc > 1 ? argv[1] : "";
    if (dll.empty()) {
        char self[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        dll = self;
        dll = dll.substr(0, dll.find_last_of('\\')) + "\\..\\bin\\Pellbox.dll";
    }
    HMODULE pellbox = LoadLibraryA(dll.c_str());
    if (!pellbox) {
        std::fprintf(stderr, "cannot load %s\n", dll.c_str());
        return 1;
    }
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    scratch = std::wstring(temp) + L"pellbox-bench-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring directory = scratch + L"\\";
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring services = std::wstring(system) + L"\\services.exe";
    const std::wstring systemDirectory = std::wstring(system) + L"\\";

    struct Case {
        const char* name;
        const wchar_t* argument;
        bool needsTree;
    };
    const std::vector<Case> cases = {
        {"NSISIsWow64", nullptr, false},
        {"NSISIsProcessRunningByFilePath", services.c_str(), false},
        {"NSISIsProcessRunningByFileName", L"services.exe", false},
        {"NSISIsProcessRunningByDirectory", systemDirectory.c_str(), false},
        {"NSISGetParentProcessName", nullptr, false},
        {"NSISGetHardSNW", nullptr, false},
        {"NSISGetMacAddress", nullptr, false},
        {"NSISGetAppUUID", nullptr, false},
        {"NSISUrlEncode", L"中文 邮件 a+b&c", false},
        {"NSISGetLocalTimeString", nullptr, false},
        {"NSISRebuildIconCache", nullptr, false},
        {"NSISDeleteFolder", directory.c_str(), true},
    };
    std::printf("%-34s %10s %10s  %s\n", "export", "first ms", "mean ms", "result");
    for (const Case& c : cases) {
        auto function = reinterpret_cast<NsisExport>(reinterpret_cast<void*>(GetProcAddress(pellbox, c.name)));
        if (!function) {
            std::printf("%-34s missing\n", c.name);
            continue;
        }
        std::wstring result;
        const double first = TimeCall(function, c.argument, c.needsTree, result);
        double total = 0;
        for (int i = 0; i < kRepeats; ++i)
            total += TimeCall(function, c.argument, c.needsTree, result);
        std::printf("%-34s %10.2f %10.2f  %ls\n", c.name, first, total / kRepeats, result.c_str());
    }

    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    const std::string hung = IdentifyByWmi(hangingCache, &HangingQuery, 3000);
    QueryPerformanceCounter(&end);
    std::printf("%-34s %10.2f %10s  '%s'\n", "disk identity, WMI never answers", Milliseconds(start, end), "-",
                hung.c_str());
    // The hanging worker is left behind on purpose; the process ends here.
    ExitProcess(0);
}
