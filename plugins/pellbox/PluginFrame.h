// The installer-stack frame shared by the NSIS plug-ins: the host's calling
// structures, the module-wide record of the current call, and the pop/push
// helpers every NSIS export uses. Also the code page 936 text conversions.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// NSIS plug-in interface, laid out as the host passes it.
struct stack_t {
    stack_t* next;
    wchar_t text[1]; // really string_size units, allocated by whoever pushed the entry
};

enum NSPIM { NSPIM_UNLOAD, NSPIM_GUIUNLOAD };
typedef UINT_PTR (*NSISPLUGINCALLBACK)(enum NSPIM);

struct exec_flags_t; // host-owned; never dereferenced here

struct extra_parameters {
    exec_flags_t* exec_flags;
    int(__stdcall* ExecuteCodeSegment)(int, HWND);
    void(__stdcall* validate_filename)(wchar_t*);
    // 0 on success, 1 when already registered, negative on errors.
    int(__stdcall* RegisterPluginCallback)(HMODULE, NSISPLUGINCALLBACK);
};

// The frame of the most recent NSIS call; one per library.
struct PluginFrameRecord {
    HINSTANCE module = nullptr;
    int string_size = 0;
    wchar_t* variables = nullptr; // stored, never used
    stack_t** stacktop = nullptr;
    extra_parameters* extra = nullptr;
};

extern PluginFrameRecord PluginFrame;

// Called from the library's DllMain with its own instance handle.
void SetPluginModule(HINSTANCE module);

// First step of every NSIS export: store the host's values and register the
// plug-in callback with the host.
void EnterPluginFrame(int string_size, wchar_t* variables, stack_t** stacktop, extra_parameters* extra);

// Pops the top entry into buffer, cut to capacity - 1 units. Leaves the
// buffer unchanged (callers zero-fill it) when there is nothing to pop.
// truncated, when given, tells whether the entry was longer than the buffer.
bool PopString(wchar_t* buffer, size_t capacity, bool* truncated = nullptr);
template <size_t N> bool PopString(wchar_t (&buffer)[N], bool* truncated = nullptr) {
    return PopString(buffer, N, truncated);
}

// Pops the top entry into text. The buffer holds the larger of minimumUnits
// and the host's string_size (the most an entry can hold, up to a sane bound),
// so a host with long strings never has its texts cut. Returns what PopString does.
bool PopWholeString(std::wstring& text, size_t minimumUnits, bool* truncated = nullptr);

// Pushes text when all of it fits in string_size - 1 units, else the empty
// string, so the script never receives a cut text it could take for whole.
void PushWholeString(const std::wstring& text);

// Pushes text cut to string_size - 1 units; does nothing without a stack.
void PushString(const wchar_t* text);
inline void PushString(const std::wstring& text) {
    PushString(text.c_str());
}
void PushInt(int value);

// A result buffer for the plain DLL twins: new[]'d, zero-terminated, owned by the caller.
wchar_t* NewCallerString(const std::wstring& text);

// Code page 936 conversions. Characters 936 cannot represent become "?";
// the text ends at the first zero.
std::string ToNarrowText(const std::wstring& text);
std::wstring FromNarrowText(const std::string& text);
