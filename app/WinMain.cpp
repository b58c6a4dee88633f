// Entry point of Movara.exe: one window, one user-interface thread; or, with
// /S, the same migration without a window.
#include "CommandLine.h"
#include "MainFrameWnd.h"
#include "MigrationLogFile.h"
#include "MigrationSystem.h"
#include "StartupClock.h"
#include "Unattended.h"

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

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR arguments, int) {
    MarkProgramStart();
    const MovaraOptions options = ParseCommandLine(arguments ? arguments : L"");
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
