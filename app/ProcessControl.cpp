#include "ProcessControl.h"

#include "LaunchRules.h"
#include "PathRules.h"

#include <SystemLibrary.h>
#include <UniqueHandle.h>
#include <psapi.h>

using Ostra::LoadSystemLibrary;
using Ostra::UniqueHandle;
using Ostra::UniqueModule;

const wchar_t kClientCommandLine[] = L"-purgecaches -upgradestartup";

namespace {

constexpr DWORD kQueryAndReadAccess = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ; // 0x410
constexpr DWORD kFullProcessAccess = 0x1FFFFF;
constexpr DWORD kAllTokenAccess = 0xF01FF;
// How long a terminated client may take to end before it counts as still running.
constexpr DWORD kExitWaitMs = 5000;

bool HasIntegrityLevels() {
    HMODULE kernel = GetModuleHandleW(L"Kernel32");
    return kernel != nullptr && GetProcAddress(kernel, "GetProductInfo") != nullptr;
}

// The executable path of a process opened with at least 0x410, or empty.
std::wstring ExecutablePath(HANDLE process) {
    HMODULE module = nullptr;
    DWORD needed = 0;
    if (!EnumProcessModules(process, &module, sizeof(module), &needed))
        return std::wstring();
    wchar_t name[kPathBufferChars] = {};
    DWORD length = GetModuleFileNameExW(process, module, name, static_cast<DWORD>(kPathBufferChars));
    return std::wstring(name, length);
}

// Opens, one by one, the other processes running from imagePath with the given
// access and hands each to visit until it answers true. True when one did.
template <typename Visit> bool ForEachClient(const std::wstring& imagePath, DWORD access, Visit visit) {
    const DWORD ownId = GetCurrentProcessId();
    for (DWORD id : ListProcessIds()) {
        if (id == ownId)
            continue;
        UniqueHandle process(OpenProcess(access, FALSE, id));
        if (!process)
            continue;
        std::wstring image = ExecutablePath(process.get());
        if (image.empty() || !SamePath(imagePath.c_str(), image.c_str()))
            continue;
        if (visit(process.get()))
            return true;
    }
    return false;
}

// The arguments of one start of the client. The command line is a copy of its
// own because the process-creation calls may write into it; the started client
// runs on its own, so its handles are closed again.
struct ClientStart {
    wchar_t commandLine[sizeof(kClientCommandLine) / sizeof(wchar_t)];
    STARTUPINFOW startup = {};
    PROCESS_INFORMATION info = {};

    ClientStart() {
        lstrcpynW(commandLine, kClientCommandLine, ARRAYSIZE(commandLine));
        startup.cb = sizeof(startup);
    }
    ~ClientStart() { UniqueHandle thread(info.hThread), process(info.hProcess); }
    ClientStart(const ClientStart&) = delete;
    ClientStart& operator=(const ClientStart&) = delete;
};

bool StartPlain(const std::wstring& imagePath, std::int32_t* result) {
    ClientStart start;
    if (!CreateProcessW(imagePath.c_str(), start.commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &start.startup, &start.info)) {
        *result = ResultFromSystemError(static_cast<std::int32_t>(GetLastError()));
        return false;
    }
    *result = 0;
    return true;
}

using CreateProcessWithTokenFn = BOOL(WINAPI*)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID, LPCWSTR, LPSTARTUPINFOW,
                                               LPPROCESS_INFORMATION);

enum class TokenStartOutcome { Started, FallBack, Failed };

TokenStartOutcome StartWithShellToken(DWORD shellId, const std::wstring& imagePath, std::int32_t* result) {
    UniqueHandle shell(OpenProcess(kFullProcessAccess, FALSE, shellId));
    if (!shell)
        return TokenStartOutcome::FallBack;

    UniqueHandle shellToken;
    if (!OpenProcessToken(shell.get(), kAllTokenAccess, shellToken.put())) {
        *result = ResultFromSystemError(static_cast<std::int32_t>(GetLastError()));
        return TokenStartOutcome::Failed;
    }
    UniqueHandle primaryToken;
    if (!DuplicateTokenEx(shellToken.get(), TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary,
                          primaryToken.put())) {
        *result = ResultFromSystemError(static_cast<std::int32_t>(GetLastError()));
        return TokenStartOutcome::Failed;
    }

    UniqueModule advapi(LoadSystemLibrary(L"AdvApi32.dll"));
    auto createWithToken = advapi ? reinterpret_cast<CreateProcessWithTokenFn>(reinterpret_cast<void*>(
                                        GetProcAddress(advapi.get(), "CreateProcessWithTokenW")))
                                  : nullptr;
    if (createWithToken == nullptr) {
        *result = kResultUnexpected;
        return TokenStartOutcome::Failed;
    }

    ClientStart start;
    if (!createWithToken(primaryToken.get(), 0, imagePath.c_str(), start.commandLine, 0, nullptr, nullptr,
                         &start.startup, &start.info))
        return TokenStartOutcome::FallBack;
    *result = 0;
    return TokenStartOutcome::Started;
}

} // namespace

std::wstring ProgramDirectoryPath(const wchar_t* fileName) {
    wchar_t modulePath[kPathBufferChars] = {};
    DWORD length = GetModuleFileNameW(nullptr, modulePath, static_cast<DWORD>(kPathBufferChars));
    if (length == 0 || length >= kPathBufferChars)
        return std::wstring();
    std::wstring path(modulePath, length);
    std::size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos)
        return std::wstring();
    path.resize(slash + 1);
    path += fileName;
    if (path.size() + 1 > kPathBufferChars)
        return std::wstring();
    return path;
}

std::vector<DWORD> ListProcessIds() {
    // Grow the array until the listing no longer fills it: a full array may
    // have cut the list short.
    std::vector<DWORD> ids(1024);
    for (;;) {
        DWORD bytes = 0;
        DWORD capacity = static_cast<DWORD>(ids.size() * sizeof(DWORD));
        if (!EnumProcesses(ids.data(), capacity, &bytes))
            return std::vector<DWORD>();
        if (bytes < capacity || ids.size() >= (1u << 20)) {
            ids.resize(bytes / sizeof(DWORD));
            return ids;
        }
        ids.resize(ids.size() * 2);
    }
}

bool IsClientRunning(const std::wstring& imagePath) {
    return ForEachClient(imagePath, kQueryAndReadAccess, [](HANDLE) { return true; });
}

bool TerminateClient(const std::wstring& imagePath) {
    // Every instance goes, and each is waited for: a terminated process keeps
    // its files open (and locked) until it has fully ended, and the copy that
    // follows must not meet them.
    bool found = false;
    bool allEnded = true;
    ForEachClient(imagePath, kFullProcessAccess, [&](HANDLE process) {
        found = true;
        if (!TerminateProcess(process, 0) || WaitForSingleObject(process, kExitWaitMs) != WAIT_OBJECT_0)
            allEnded = false;
        return false;
    });
    return found && allEnded;
}

bool EnsureClientStopped(const std::wstring& imagePath, DWORD retryDelayMs) {
    if (!IsClientRunning(imagePath))
        return true;
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (TerminateClient(imagePath))
            return true;
        if (!IsClientRunning(imagePath))
            return true;
        Sleep(retryDelayMs);
    }
    // A client that ended during the last wait is stopped all the same.
    return !IsClientRunning(imagePath);
}

namespace {

// The integrity level of a process; 0x3000 whenever it cannot be read. False
// only when the label's sub-authority count cannot be read.
bool ReadIntegrityLevel(DWORD processId, DWORD* level) {
    *level = kIntegrityHigh;
    UniqueHandle process(OpenProcess(kFullProcessAccess, FALSE, processId));
    if (!process)
        return true;
    UniqueHandle token;
    if (!OpenProcessToken(process.get(), kAllTokenAccess, token.put()))
        return true;

    DWORD size = 0;
    if (GetTokenInformation(token.get(), TokenIntegrityLevel, nullptr, 0, &size) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return true;
    std::vector<unsigned char> label(size);
    if (!GetTokenInformation(token.get(), TokenIntegrityLevel, label.data(), size, &size))
        return true;

    PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(label.data())->Label.Sid;
    PUCHAR count = GetSidSubAuthorityCount(sid);
    if (count == nullptr || *count == 0)
        return false;
    *level = *GetSidSubAuthority(sid, static_cast<DWORD>(*count - 1));
    return true;
}

} // namespace

std::int32_t GetIntegrityLevel(DWORD processId, DWORD* level) {
    if (level == nullptr)
        return kResultInvalidArg;
    DWORD found = kIntegrityHigh;
    if (HasIntegrityLevels() && !ReadIntegrityLevel(processId, &found))
        return kResultUnexpected;
    *level = found;
    return 0;
}

std::int32_t LaunchClient(const std::wstring& imagePath) {
    std::int32_t result = 0;
    if (!HasIntegrityLevels()) {
        StartPlain(imagePath, &result);
        return result;
    }

    DWORD shellId = 0;
    if (HWND shellWindow = FindWindowW(L"Progman", nullptr))
        GetWindowThreadProcessId(shellWindow, &shellId);
    DWORD shellLevel = kIntegrityHigh;
    if (shellId != 0) {
        std::int32_t code = GetIntegrityLevel(shellId, &shellLevel);
        if (code != 0)
            return code;
    }
    DWORD ownLevel = kIntegrityHigh;
    std::int32_t code = GetIntegrityLevel(GetCurrentProcessId(), &ownLevel);
    if (code != 0)
        return code;

    switch (ChooseLaunchMethod(ownLevel, shellLevel)) {
    case LaunchMethod::Refuse:
        return kResultAccessDenied;
    case LaunchMethod::ShellToken:
        switch (StartWithShellToken(shellId, imagePath, &result)) {
        case TokenStartOutcome::Started:
        case TokenStartOutcome::Failed:
            return result;
        case TokenStartOutcome::FallBack:
            break;
        }
        break;
    case LaunchMethod::Plain:
        break;
    }
    StartPlain(imagePath, &result);
    return result;
}
