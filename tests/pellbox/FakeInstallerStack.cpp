#include "FakeInstallerStack.h"

#include <cstring>

int FakeInstallerStack::registrations = 0;
HMODULE FakeInstallerStack::registeredModule = nullptr;
NSISPLUGINCALLBACK FakeInstallerStack::registeredCallback = nullptr;

namespace {

int __stdcall RecordRegistration(HMODULE module, NSISPLUGINCALLBACK callback) {
    ++FakeInstallerStack::registrations;
    FakeInstallerStack::registeredModule = module;
    FakeInstallerStack::registeredCallback = callback;
    return 0;
}

} // namespace

FakeInstallerStack::FakeInstallerStack(int stringSize) : stringSize(stringSize) {
    extra.RegisterPluginCallback = &RecordRegistration;
}

FakeInstallerStack::~FakeInstallerStack() {
    while (top)
        Pop();
}

void FakeInstallerStack::Push(const std::wstring& text) {
    auto* entry = static_cast<stack_t*>(GlobalAlloc(GPTR, sizeof(stack_t) + stringSize * sizeof(wchar_t)));
    lstrcpynW(entry->text, text.c_str(), stringSize);
    entry->next = top;
    top = entry;
}

std::wstring FakeInstallerStack::Pop() {
    if (!top)
        return L"<empty>";
    stack_t* entry = top;
    std::wstring text = entry->text;
    top = entry->next;
    GlobalFree(entry);
    return text;
}

size_t FakeInstallerStack::Depth() const {
    size_t depth = 0;
    for (stack_t* entry = top; entry; entry = entry->next)
        ++depth;
    return depth;
}

void FakeInstallerStack::Call(decltype(&NSISIsWow64) exportFunction) {
    exportFunction(nullptr, stringSize, variables, &top, &extra);
}

namespace {

// An entry below the arguments shows whether the export popped or pushed more than its share.
std::wstring CallAboveSentinel(decltype(&NSISIsWow64) exportFunction, const std::wstring* argument) {
    FakeInstallerStack stack;
    stack.Push(L"below");
    if (argument)
        stack.Push(*argument);
    stack.Call(exportFunction);
    std::wstring result = stack.Pop();
    if (stack.Pop() != L"below" || stack.Depth() != 0)
        return L"<stack damaged>";
    return result;
}

} // namespace

std::wstring CallWithArgument(decltype(&NSISIsWow64) exportFunction, const std::wstring& argument) {
    return CallAboveSentinel(exportFunction, &argument);
}

std::wstring CallWithoutArgument(decltype(&NSISIsWow64) exportFunction) {
    return CallAboveSentinel(exportFunction, nullptr);
}

std::wstring MakeScratchDirectory(const std::wstring& label) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    static unsigned counter = 0;
    std::wstring path = std::wstring(temp) + L"pellbox-" + label + L"-" + std::to_wstring(GetCurrentProcessId()) +
                        L"-" + std::to_wstring(++counter) + L"\\";
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

void WriteTextFile(const std::wstring& path, const char* text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
    CloseHandle(file);
}

bool PathExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
