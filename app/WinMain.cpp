// Entry point of Movara.exe: one window, one user-interface thread.
#include "MainFrameWnd.h"
#include "StartupClock.h"

#include <PaintManagerUI.h>
#include <objbase.h>

#include <new>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    MarkProgramStart();
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
