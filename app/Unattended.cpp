#include "Unattended.h"

#include <UniqueHandle.h>
#include <windows.h>

namespace {

// Holds what the window would show; "choosing" a folder gives the one of the command line.
class HeadlessView : public IMigrationView {
public:
    explicit HeadlessView(const std::wstring& folder) : folder_(folder) {}

    void SetOldDirectoryText(const std::wstring& text) override { oldText_ = text; }
    std::wstring GetOldDirectoryText() const override { return oldText_; }
    void SetNewDirectoryText(const std::wstring& text) override { newText_ = text; }
    std::wstring GetNewDirectoryText() const override { return newText_; }
    void SetLogText(const std::wstring& text) override { logText_ = text; }
    void SetProgressValue(int) override {}
    void ShowIdleButtons() override {}
    void ShowCopyingButtons() override {}
    void ShowFinishedButtons() override {}
    void FocusNext(NextControl) override {}
    void StartProgressTimer() override {}
    void StopProgressTimer() override {}
    bool ChooseFolder(std::wstring* folder) override {
        *folder = folder_;
        return true;
    }
    void CloseWindow() override {}
    bool Confirm(const std::wstring&) override { return true; }

    const std::wstring& logText() const { return logText_; }

private:
    std::wstring folder_, oldText_, newText_, logText_;
};

} // namespace

int ExitCodeFor(MigrationController::Result result) {
    switch (result) {
    case MigrationController::Result::Migrated:
        return kExitMigrated;
    case MigrationController::Result::Refused:
        return kExitRefused;
    case MigrationController::Result::ClientRunning:
        return kExitClientRunning;
    case MigrationController::Result::NoSpace:
        return kExitNoSpace;
    case MigrationController::Result::NoProfile:
        return kExitNoProfile;
    case MigrationController::Result::None:
    case MigrationController::Result::Incomplete:
    case MigrationController::Result::Aborted:
        break;
    }
    return kExitIncomplete;
}

int RunUnattended(const MovaraOptions& options, IMigrationSystem& system, unsigned pollMs) {
    HeadlessView view(options.folder);
    MigrationController controller(view, system);
    controller.SetVerify(options.verify);
    system.AppendLog(L"无人值守迁移：/S" + std::wstring(options.relaunch ? L" /RUN" : L"") + L" /D=" + options.folder);
    controller.OnWindowReady();
    controller.OnSelectDirectory();
    controller.OnStartClicked();
    while (controller.phase() == MigrationController::Phase::Copying) {
        Sleep(pollMs);
        controller.OnProgressTimer();
    }
    const int code = ExitCodeFor(controller.result());
    // The finished window's "立即运行": the same checks, then the launch.
    if (code == kExitMigrated && options.relaunch)
        controller.OnStartClicked();
    system.AppendLog(L"退出码：" + std::to_wstring(code));
    std::wstring summary = view.logText();
    if (!system.LogPath().empty())
        summary += L"\r\n日志：" + system.LogPath();
    WriteToConsole(summary + L"\r\n");
    return code;
}

void WriteToConsole(const std::wstring& text) {
    // Output redirected to a file or pipe: UTF-8 text there.
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (out != nullptr && out != INVALID_HANDLE_VALUE && !GetConsoleMode(out, &mode)) {
        int bytes =
            WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
        if (bytes > 0) {
            std::string utf8(static_cast<std::size_t>(bytes), '\0');
            WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], bytes, nullptr,
                                nullptr);
            DWORD written = 0;
            WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
        }
        return;
    }
    // A program of the graphical subsystem has no console of its own: borrow
    // the one of the command prompt it was started from, if any.
    if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED)
        return;
    Ostra::UniqueFile console(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
    if (!console.valid())
        return;
    DWORD written = 0;
    WriteConsoleW(console.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}
