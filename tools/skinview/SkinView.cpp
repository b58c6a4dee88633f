// skinview FOLDER-OR-ZIP [MARKUP] [--time] [--pos X,Y] [--dpi N]
//
// Opens a skinned window from a skin folder or a ZIP skin package (markup
// default "skin.xml") and pumps messages until it is closed. Every control
// notification is printed as "notify TYPE NAME"; once shown, the window's
// screen rectangle is printed as "window LEFT TOP RIGHT BOTTOM".
// --time prints the milliseconds from WM_CREATE to the end of the first paint
// and the number of image decodes, then closes the window.
// --pos places the window at X,Y instead of centring it.
// --dpi sends the window, once shown, the message of a move to a monitor of
// N dpi (its size scaled, its top left kept) and prints the rectangle again.
#include "PaintManagerUI.h"
#include "WindowImplBase.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

using namespace SkinKit;

namespace {

void Print(const std::wstring& text) {
    // UTF-8 so that Chinese control names survive any console code page.
    const int n =
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], n, nullptr, nullptr);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

class SkinViewWnd : public WindowImplBase {
public:
    SkinViewWnd(std::wstring markup, bool archive, std::wstring archiveName, bool timing)
        : m_markup(std::move(markup)), m_archive(archive), m_archiveName(std::move(archiveName)), m_timing(timing) {}

    std::wstring SkinFileName() override { return m_markup; }
    int SkinSourceKind() const override { return m_archive ? SkinSourceArchiveFile : SkinSourceFolder; }
    std::wstring SkinArchiveName() override { return m_archiveName; }

    void OnNotify(TNotifyUI& msg) override {
        Print(L"notify " + msg.sType + L" " + (msg.pSender ? msg.pSender->GetName() : std::wstring()));
        WindowImplBase::OnNotify(msg);
    }

    LRESULT OnDestroy(UINT, WPARAM, LPARAM, bool& handled) override {
        ::PostQuitMessage(0);
        handled = false;
        return 0;
    }

protected:
    const wchar_t* WindowClassName() const override { return L"SkinKitView"; }

    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        const LRESULT result = WindowImplBase::OnMessage(uMsg, wParam, lParam);
        if (uMsg == WM_PAINT && m_timing && !m_reported && m_PaintManager.GetFirstPaintMilliseconds() >= 0) {
            m_reported = true;
            wchar_t line[128];
            swprintf(line, 128, L"first paint %.2f ms, %u image decodes", m_PaintManager.GetFirstPaintMilliseconds(),
                     static_cast<unsigned>(m_PaintManager.GetImageDecodeCount()));
            Print(line);
            PostClose(0);
        }
        return result;
    }

private:
    std::wstring m_markup;
    bool m_archive;
    std::wstring m_archiveName;
    bool m_timing;
    bool m_reported = false;
};

} // namespace

int main() {
    // Skins are previewed at the display's scale, as the programs that use them draw them.
    CPaintManagerUI::DeclareDpiAwareness();
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::wstring source, markup = L"skin.xml";
    bool timing = false, placed = false;
    int x = 0, y = 0, newDpi = 0;
    int positional = 0;
    for (int i = 1; argv && i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--time") {
            timing = true;
        } else if (arg == L"--dpi" && i + 1 < argc) {
            newDpi = _wtoi(argv[++i]);
        } else if (arg == L"--pos" && i + 1 < argc) {
            placed = swscanf(argv[++i], L"%d,%d", &x, &y) == 2;
        } else if (positional == 0) {
            source = arg;
            ++positional;
        } else if (positional == 1) {
            markup = arg;
            ++positional;
        }
    }
    if (argv)
        ::LocalFree(argv);
    if (source.empty()) {
        std::fputs("usage: skinview FOLDER-OR-ZIP [MARKUP] [--time] [--pos X,Y] [--dpi N]\n", stderr);
        return 2;
    }

    wchar_t full[MAX_PATH] = {};
    const DWORD n = ::GetFullPathNameW(source.c_str(), MAX_PATH, full, nullptr);
    if (n == 0 || n >= MAX_PATH) {
        std::fputs("skinview: path too long\n", stderr);
        return 2;
    }
    std::wstring path(full);
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        std::fputs("skinview: no such folder or file\n", stderr);
        return 2;
    }
    const bool archive = (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    std::wstring archiveName;
    if (archive) {
        const size_t slash = path.find_last_of(L"\\/");
        archiveName = path.substr(slash + 1);
        path = path.substr(0, slash + 1);
    } else if (path.back() != L'\\') {
        path += L'\\';
    }

    CPaintManagerUI::SetInstance(::GetModuleHandleW(nullptr));
    CPaintManagerUI::SetResourcePath(path);

    SkinViewWnd window(markup, archive, archiveName, timing);
    if (!window.Create(nullptr, L"skinview", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 0, 0, 0)) {
        std::fputs("skinview: window not created\n", stderr);
        return 1;
    }
    if (placed)
        ::SetWindowPos(window.GetHWND(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    else
        window.CenterWindow();
    window.ShowWindow(true);
    auto printRect = [&] {
        RECT rc{};
        ::GetWindowRect(window.GetHWND(), &rc);
        wchar_t line[96];
        swprintf(line, 96, L"window %ld %ld %ld %ld", static_cast<long>(rc.left), static_cast<long>(rc.top),
                 static_cast<long>(rc.right), static_cast<long>(rc.bottom));
        Print(line);
        return rc;
    };
    const RECT shown = printRect();
    if (newDpi > 0) {
        const int dpi = window.GetPaintManager()->GetDpi();
        RECT suggested{shown.left, shown.top, shown.left + ::MulDiv(shown.right - shown.left, newDpi, dpi),
                       shown.top + ::MulDiv(shown.bottom - shown.top, newDpi, dpi)};
        ::SendMessageW(window.GetHWND(), WindowImplBase::kDpiChangedMessage, MAKEWPARAM(newDpi, newDpi),
                       reinterpret_cast<LPARAM>(&suggested));
        printRect();
    }
    CPaintManagerUI::MessageLoop();
    return 0;
}
