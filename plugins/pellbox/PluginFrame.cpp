#include "PluginFrame.h"

#include "CodePageText.h"

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <new>
#include <vector>

PluginFrameRecord PluginFrame;

namespace {

constexpr UINT kNarrowCodePage = 936;

UINT_PTR PluginCallback(enum NSPIM) {
    return 0;
}

HMODULE OwnModule() {
    if (PluginFrame.module)
        return PluginFrame.module;
    // A library whose DllMain did not record the handle still registers under its own module.
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&PluginCallback), &module);
    return module;
}

} // namespace

void SetPluginModule(HINSTANCE module) {
    PluginFrame.module = module;
}

void EnterPluginFrame(int string_size, wchar_t* variables, stack_t** stacktop, extra_parameters* extra) {
    PluginFrame.string_size = string_size;
    PluginFrame.variables = variables;
    PluginFrame.stacktop = stacktop;
    PluginFrame.extra = extra;
    if (extra && extra->RegisterPluginCallback)
        extra->RegisterPluginCallback(OwnModule(), &PluginCallback);
}

bool PopString(wchar_t* buffer, size_t capacity, bool* truncated) {
    if (truncated)
        *truncated = false;
    if (!PluginFrame.stacktop || !*PluginFrame.stacktop || !buffer || capacity == 0)
        return false;
    stack_t* top = *PluginFrame.stacktop;
    size_t length = 0;
    while (length + 1 < capacity && top->text[length] != L'\0')
        ++length;
    std::memcpy(buffer, top->text, length * sizeof(wchar_t));
    buffer[length] = L'\0';
    if (truncated)
        *truncated = top->text[length] != L'\0';
    *PluginFrame.stacktop = top->next;
    GlobalFree(top);
    return true;
}

bool PopWholeString(std::wstring& text, size_t minimumUnits, bool* truncated) {
    // No host passes strings longer than this; a larger string_size is taken as damaged.
    constexpr size_t kLargestEntryUnits = 1u << 20;
    size_t capacity = PluginFrame.string_size > 0 ? static_cast<size_t>(PluginFrame.string_size) : 0;
    if (capacity < minimumUnits)
        capacity = minimumUnits;
    if (capacity > kLargestEntryUnits)
        capacity = kLargestEntryUnits;
    std::vector<wchar_t> buffer(capacity + 1, L'\0');
    const bool popped = PopString(buffer.data(), buffer.size(), truncated);
    text.assign(buffer.data());
    return popped;
}

void PushWholeString(const std::wstring& text) {
    const size_t room = PluginFrame.string_size > 0 ? static_cast<size_t>(PluginFrame.string_size) - 1 : 0;
    PushString(text.size() <= room && text.find(L'\0') == std::wstring::npos ? text.c_str() : L"");
}

void PushString(const wchar_t* text) {
    if (!PluginFrame.stacktop)
        return;
    const size_t textUnits = text ? std::wcslen(text) + 1 : 1;
    size_t units = PluginFrame.string_size > 0 ? static_cast<size_t>(PluginFrame.string_size) : 1;
    // An entry of string_size units whose size does not fit in size_t (a 32-bit
    // process and a host claiming nearly 2^31 units) would wrap to a tiny
    // allocation; the text itself is all the host can read from it then.
    if (units > (SIZE_MAX - sizeof(stack_t)) / sizeof(wchar_t))
        units = textUnits < units ? textUnits : units;
    auto* entry = static_cast<stack_t*>(GlobalAlloc(GPTR, sizeof(stack_t) + units * sizeof(wchar_t)));
    if (!entry)
        return;
    if (text)
        lstrcpynW(entry->text, text, static_cast<int>(units));
    entry->next = *PluginFrame.stacktop;
    *PluginFrame.stacktop = entry;
}

void PushInt(int value) {
    wchar_t text[20] = {};
    wsprintfW(text, L"%d", value);
    PushString(text);
}

wchar_t* NewCallerString(const std::wstring& text) {
    auto* buffer = new (std::nothrow) wchar_t[text.size() + 1];
    if (!buffer)
        return nullptr;
    std::wmemcpy(buffer, text.c_str(), text.size() + 1);
    return buffer;
}

std::string ToNarrowText(const std::wstring& text) {
    return WideToCodePage(kNarrowCodePage, text.c_str()); // up to the first zero
}

std::wstring FromNarrowText(const std::string& text) {
    return CodePageToWide(kNarrowCodePage, text.c_str());
}
