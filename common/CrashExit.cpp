#include "CrashExit.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <exception>

namespace Ostra {
namespace {

// Everything the filter uses is set up beforehand: a faulting process may
// have a broken heap or hold the heap's lock.
constexpr size_t kPrefixUnits = 256;
constexpr size_t kReportPathUnits = 32768;
constexpr size_t kLineUnits = 3 * kPrefixUnits + MAX_PATH + 64;

wchar_t textBefore[kPrefixUnits];
wchar_t textBetween[kPrefixUnits];
wchar_t textAfter[kPrefixUnits];
wchar_t reportPath[kReportPathUnits];
wchar_t lineText[kLineUnits];
char lineBytes[kLineUnits * 3 + 2];
volatile LONG crashing = 0;

void CopyBounded(wchar_t* out, size_t capacity, const wchar_t* text) {
    size_t n = text ? wcsnlen(text, capacity) : 0;
    if (n >= capacity)
        n = 0; // too long: left empty rather than cut
    wmemcpy(out, text ? text : L"", n);
    out[n] = L'\0';
}

// "<module>+0x<offset>", or the bare address when no module holds it.
void DescribeAddress(const void* address, wchar_t* out, size_t capacity) {
    HMODULE module = nullptr;
    wchar_t path[MAX_PATH] = {};
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCWSTR>(address), &module) &&
        GetModuleFileNameW(module, path, MAX_PATH) > 0) {
        path[MAX_PATH - 1] = L'\0';
        const wchar_t* name = wcsrchr(path, L'\\');
        swprintf(
            out, capacity, L"%ls+0x%llX", name ? name + 1 : path,
            static_cast<unsigned long long>(static_cast<const char*>(address) - reinterpret_cast<const char*>(module)));
        return;
    }
    swprintf(out, capacity, L"0x%llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(address)));
}

void ReportAndExit(unsigned long code, const void* address) {
    // A second fault while reporting (or on another thread) only ends the process.
    if (InterlockedExchange(&crashing, 1) != 0)
        TerminateProcess(GetCurrentProcess(), kExitCrashed);
    wchar_t where[MAX_PATH + 32] = {};
    if (address)
        DescribeAddress(address, where, MAX_PATH + 32);
    else
        swprintf(where, MAX_PATH + 32, L"?");
    swprintf(lineText, kLineUnits, L"%ls0x%08lX%ls%ls%ls\r\n", textBefore, code, textBetween, where, textAfter);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, lineText, -1, lineBytes, sizeof lineBytes, nullptr, nullptr);
    if (bytes > 1) {
        HANDLE out = INVALID_HANDLE_VALUE;
        bool opened = false;
        if (reportPath[0]) {
            out = CreateFileW(reportPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
            opened = out != INVALID_HANDLE_VALUE;
        }
        if (!opened)
            out = GetStdHandle(STD_ERROR_HANDLE);
        DWORD written = 0;
        if (out && out != INVALID_HANDLE_VALUE)
            WriteFile(out, lineBytes, DWORD(bytes - 1), &written, nullptr);
        if (opened) {
            FlushFileBuffers(out);
            CloseHandle(out);
        }
    }
    // Not ExitProcess: the faulting thread may hold locks that the exit
    // routines would wait for.
    TerminateProcess(GetCurrentProcess(), kExitCrashed);
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD* record = pointers ? pointers->ExceptionRecord : nullptr;
    ReportAndExit(record ? record->ExceptionCode : 0, record ? record->ExceptionAddress : nullptr);
    return EXCEPTION_EXECUTE_HANDLER;
}

// An exception that leaves a thread, or noexcept broken: reported with the
// code of a C++ exception and no address.
void OnTerminate() {
    ReportAndExit(0xE06D7363, nullptr);
}

} // namespace

void InstallCrashExit(const wchar_t* before, const wchar_t* between, const wchar_t* after) {
    CopyBounded(textBefore, kPrefixUnits, before);
    CopyBounded(textBetween, kPrefixUnits, between);
    CopyBounded(textAfter, kPrefixUnits, after);
    SetUnhandledExceptionFilter(&OnUnhandledException);
    std::set_terminate(&OnTerminate);
    // No message box for a fault: an unattended run would wait for ever.
    SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
}

void SetCrashReportFile(const wchar_t* path) {
    CopyBounded(reportPath, kReportPathUnits, path);
}

} // namespace Ostra
