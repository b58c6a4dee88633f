#include "MainFrameWnd.h"

#include "FolderChooser.h"
#include "StartupClock.h"
#include "resource.h"

#include <ButtonUI.h>
#include <EditUI.h>
#include <LabelUI.h>
#include <ProgressUI.h>

#include <cwchar>

using namespace SkinKit;

namespace {

// The named control when it is of the expected kind (asked through its
// interface name), else null.
template <typename T> T* FindNamed(CPaintManagerUI& pm, const wchar_t* name, const wchar_t* kind) {
    CControlUI* control = pm.FindControl(name);
    return control ? static_cast<T*>(control->GetInterface(kind)) : nullptr;
}

} // namespace

CMainFrameWnd::CMainFrameWnd() : controller_(*this, system_) {
    // The engine counts the tree on this thread before it returns: show the
    // copying state first rather than a window frozen in its idle look.
    system_.SetBeforeCopy([this] { ::UpdateWindow(GetHWND()); });
}

CMainFrameWnd::~CMainFrameWnd() = default;

const wchar_t* CMainFrameWnd::WindowClassName() const {
    return L"Movara";
}

std::wstring CMainFrameWnd::SkinFileName() {
    return L"skin.xml";
}

int CMainFrameWnd::SkinSourceKind() const {
    return SkinSourceResourceZip;
}

const wchar_t* CMainFrameWnd::SkinResourceId() {
    return MAKEINTRESOURCEW(IDR_SKIN_PACKAGE);
}

void CMainFrameWnd::OnWindowReady() {
    SetWindowIcon();
    copyProgressBar_ = FindNamed<CProgressUI>(m_PaintManager, L"copyProgressBar", L"Progress");
    cancelBtn_ = FindNamed<CButtonUI>(m_PaintManager, L"CancelBtn", L"Button");
    okBtn_ = FindNamed<CButtonUI>(m_PaintManager, L"OkBtn", L"Button");
    closeBtn_ = FindNamed<CButtonUI>(m_PaintManager, L"closebtn", L"Button");
    selectDir_ = FindNamed<CButtonUI>(m_PaintManager, L"selectDir", L"Button");
    oldFileDir_ = FindNamed<CEditUI>(m_PaintManager, L"oldFileDir", L"Edit");
    newFileDir_ = FindNamed<CEditUI>(m_PaintManager, L"newFileDir", L"Edit");
    copyLog_ = FindNamed<CLabelUI>(m_PaintManager, L"copyLog", L"Label");
    controller_.OnWindowReady();
}

void CMainFrameWnd::SetWindowIcon() {
    // The icon file beside the program, as the current directory gives it.
    HICON icon = static_cast<HICON>(
        LoadImageW(nullptr, L"app.ico", IMAGE_ICON, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE | LR_SHARED));
    if (icon == nullptr)
        return;
    ::SendMessageW(GetHWND(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    ::SendMessageW(GetHWND(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

void CMainFrameWnd::OnNotify(TNotifyUI& msg) {
    if (msg.sType != L"click" || msg.pSender == nullptr)
        return;
    const std::wstring& name = msg.pSender->GetName();
    if (name == L"CancelBtn" || name == L"closebtn")
        PostClose(2);
    else if (name == L"selectDir")
        controller_.OnSelectDirectory();
    else if (name == L"OkBtn") {
        NoteTiming(L"start clicked");
        controller_.OnStartClicked();
    } else
        OnButtonClick(msg);
}

LRESULT CMainFrameWnd::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_TIMER && wParam == kProgressTimerId) {
        controller_.OnProgressTimer();
    } else if (uMsg == WM_NCLBUTTONDBLCLK) {
        // A window whose size is fixed never maximises.
        SIZE minSize = m_PaintManager.GetMinInfo();
        SIZE maxSize = m_PaintManager.GetMaxInfo();
        if (minSize.cx == maxSize.cx && minSize.cy == maxSize.cy)
            return 0;
    }
    LRESULT result = WindowImplBase::OnMessage(uMsg, wParam, lParam);
    if (uMsg == WM_PAINT && !firstPaintNoted_) {
        firstPaintNoted_ = true;
        NoteTiming(L"first paint done");
        // Started only now, so that it does not slow the window's start.
        system_.PrepareCopyEngine();
    }
    return result;
}

LRESULT CMainFrameWnd::OnClose(UINT, WPARAM, LPARAM, bool& handled) {
    handled = true;
    // During a copy the user is asked first; a copy stopped that way has
    // ended cleanly and is in the log before the process ends.
    if (!controller_.OnCloseRequested())
        return 0;
    ExitProcess(0);
}

void CMainFrameWnd::SetOldDirectoryText(const std::wstring& text) {
    if (oldFileDir_)
        oldFileDir_->SetText(text);
}

std::wstring CMainFrameWnd::GetOldDirectoryText() const {
    return oldFileDir_ ? oldFileDir_->GetText() : std::wstring();
}

void CMainFrameWnd::SetNewDirectoryText(const std::wstring& text) {
    if (newFileDir_)
        newFileDir_->SetText(text);
}

std::wstring CMainFrameWnd::GetNewDirectoryText() const {
    return newFileDir_ ? newFileDir_->GetText() : std::wstring();
}

void CMainFrameWnd::SetLogText(const std::wstring& text) {
    if (copyLog_)
        copyLog_->SetText(text);
}

void CMainFrameWnd::SetProgressValue(int percent) {
    if (copyProgressBar_)
        copyProgressBar_->SetValue(percent);
    wchar_t what[32];
    swprintf(what, sizeof(what) / sizeof(what[0]), L"progress %d%%", percent);
    NoteTiming(what);
}

void CMainFrameWnd::ShowIdleButtons() {
    if (selectDir_)
        selectDir_->SetEnabled(true);
    if (cancelBtn_)
        cancelBtn_->SetVisible(true);
    if (okBtn_) {
        okBtn_->SetText(L"立即迁移");
        okBtn_->SetEnabled(true);
    }
}

void CMainFrameWnd::ShowCopyingButtons() {
    // The new-directory field must keep naming the folder the data goes to.
    if (selectDir_)
        selectDir_->SetEnabled(false);
    if (cancelBtn_)
        cancelBtn_->SetVisible(false);
    if (okBtn_) {
        okBtn_->SetEnabled(false);
        okBtn_->SetText(L"立即运行");
    }
}

void CMainFrameWnd::ShowFinishedButtons() {
    if (okBtn_)
        okBtn_->SetEnabled(true);
}

void CMainFrameWnd::FocusNext(NextControl control) {
    CControlUI* target = nullptr;
    switch (control) {
    case NextControl::None:
        break;
    case NextControl::ChooseFolder:
        target = selectDir_;
        break;
    case NextControl::Start:
        target = okBtn_;
        break;
    case NextControl::Later:
        target = cancelBtn_;
        break;
    }
    m_PaintManager.SetFocus(target);
}

void CMainFrameWnd::StartProgressTimer() {
    SetTimer(GetHWND(), kProgressTimerId, kProgressTimerPeriodMs, nullptr);
}

void CMainFrameWnd::StopProgressTimer() {
    KillTimer(GetHWND(), kProgressTimerId);
}

bool CMainFrameWnd::ChooseFolder(std::wstring* folder) {
    return ::ChooseFolder(GetHWND(), folder);
}

void CMainFrameWnd::CloseWindow() {
    PostClose(2);
}

bool CMainFrameWnd::Confirm(const std::wstring& question) {
    return MessageBoxW(GetHWND(), question.c_str(), L"Ostra Mail数据迁移",
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}
