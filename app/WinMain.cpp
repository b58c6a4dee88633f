// Entry point of Movara.exe: one window, one user-interface thread; or, with
// /S, the same migration without a window.
#include "CommandLine.h"
#include "MainFrameWnd.h"
#include "MigrationLogFile.h"
#include "MigrationSystem.h"
#include "StartupClock.h"
#include "Unattended.h"

#include <CrashExit.h>
#include <PaintManagerUI.h>
#include <objbase.h>

#include <new>

namespace {

constexpr unsigned kUnattendedPollMs = 1000;

int RunCommand(const MovaraOptions& options, const wchar_t* arguments) {
    switch (options.mode) {
    case MovaraOptions::Mode::Usage:
        WriteToConsole(kUsageText);
        return 0;
    case MovaraOptions::Mode::BadArguments: {
        MigrationLogFile log;
        log.Append(L"无人值守迁移：命令行参数无效：" + std::wstring(arguments ? arguments : L""));
        log.Append(L"退出码：" + std::to_wstring(kExitRefused));
        WriteToConsole(kUsageText);
        return kExitRefused;
    }
    default: {
        MigrationSystem system;
        // The engine readies its buffer while the checks and the client's stop run.
        system.PrepareCopyEngine();
        return RunUnattended(options, system, kUnattendedPollMs);
    }
    }
}

// One Movara per user session: two would copy into the same folder and
// both end incomplete. Held until the process ends.
const wchar_t kInstanceMutexName[] = L"Local\\OstraMail.Movara.Running";

// True when this process is the only Movara of the session.
bool TakeInstance() {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, kInstanceMutexName);
    // Without the mutex nothing can be told; going on is what a start
    // without this guard did.
    return !(mutex && GetLastError() == ERROR_ALREADY_EXISTS);
}

// Brings the window of the Movara already running to the front.
void ShowRunningWindow() {
    HWND window = FindWindowW(L"Movara", nullptr);
    if (!window)
        return;
    if (IsIconic(window))
        ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR arguments, int) {
    MarkProgramStart();
    // A fault ends the run with its own exit code and the log's last line,
    // never with a code a deployment script could take for a migration.
    Ostra::InstallCrashExit(L"程序异常终止：异常代码 ", L"，位置 ", L"，退出码：6");
    const MovaraOptions options = ParseCommandLine(arguments ? arguments : L"");
    if (options.mode != MovaraOptions::Mode::Usage && !TakeInstance()) {
        if (options.mode == MovaraOptions::Mode::Window) {
            ShowRunningWindow();
            return 0;
        }
        MigrationLogFile log;
        log.Append(L"无人值守迁移：已有一个Movara正在运行，未开始");
        log.Append(L"退出码：" + std::to_wstring(kExitRefused));
        WriteToConsole(L"已有一个Movara正在运行，未开始\r\n");
        return kExitRefused;
    }
    if (options.mode != MovaraOptions::Mode::Window) {
        if (FAILED(CoInitialize(nullptr)))
            return kExitIncomplete;
        int code = RunCommand(options, arguments);
        CoUninitialize();
        return code;
    }

    SkinKit::CPaintManagerUI::SetInstance(instance);
    if (FAILED(CoInitialize(nullptr)))
        return 0;
    SkinKit::CPaintManagerUI::SetResourcePath(SkinKit::CPaintManagerUI::GetInstancePath());

    // Never deleted: every way of closing ends the process from WM_CLOSE.
    CMainFrameWnd* frame = new (std::nothrow) CMainFrameWnd();
    if (frame == nullptr ||
        frame->Create(nullptr, L"Ostra Mail数据迁移", WS_OVERLAPPEDWINDOW | WS_VISIBLE, WS_EX_WINDOWEDGE, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT) == nullptr) {
        CoUninitialize();
        return 0;
    }
    frame->CenterWindow();
    frame->ShowWindow(true);
    SkinKit::CPaintManagerUI::MessageLoop();
    CoUninitialize();
    return 0;
}
