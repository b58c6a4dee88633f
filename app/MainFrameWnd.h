// The program's only window: the skinned migration dialog. The workflow lives
// in MigrationController; this class binds it to the controls, the timer, the
// folder browser and the system side (profile registry, client process, copy engine).
#pragma once

#include "MigrationController.h"
#include "MigrationSystem.h"

#include <WindowImplBase.h>

#include <string>

namespace SkinKit {
class CButtonUI;
class CEditUI;
class CLabelUI;
class CProgressUI;
} // namespace SkinKit

class CMainFrameWnd : public SkinKit::WindowImplBase, private IMigrationView {
public:
    CMainFrameWnd();
    ~CMainFrameWnd() override;

    static constexpr UINT_PTR kProgressTimerId = 100;
    static constexpr UINT kProgressTimerPeriodMs = 2000;

protected:
    const wchar_t* WindowClassName() const override;
    std::wstring SkinFileName() override;
    int SkinSourceKind() const override;
    const wchar_t* SkinResourceId() override;
    void OnWindowReady() override;
    void OnNotify(SkinKit::TNotifyUI& msg) override;
    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    // IMigrationView
    void SetOldDirectoryText(const std::wstring& text) override;
    std::wstring GetOldDirectoryText() const override;
    void SetNewDirectoryText(const std::wstring& text) override;
    std::wstring GetNewDirectoryText() const override;
    void SetLogText(const std::wstring& text) override;
    void SetProgressValue(int percent) override;
    void ShowIdleButtons() override;
    void ShowCopyingButtons() override;
    void ShowFinishedButtons() override;
    void FocusNext(NextControl control) override;
    void StartProgressTimer() override;
    void StopProgressTimer() override;
    bool ChooseFolder(std::wstring* folder) override;
    void CloseWindow() override;
    bool Confirm(const std::wstring& question) override;

    void SetWindowIcon();

    // Owned by the control tree.
    SkinKit::CProgressUI* copyProgressBar_ = nullptr;
    SkinKit::CButtonUI* cancelBtn_ = nullptr;
    SkinKit::CButtonUI* okBtn_ = nullptr;
    SkinKit::CButtonUI* closeBtn_ = nullptr;
    SkinKit::CButtonUI* selectDir_ = nullptr;
    SkinKit::CEditUI* oldFileDir_ = nullptr;
    SkinKit::CEditUI* newFileDir_ = nullptr;
    SkinKit::CLabelUI* copyLog_ = nullptr;

    bool firstPaintNoted_ = false;
    MigrationSystem system_; // holds the copy engine
    MigrationController controller_;
};
