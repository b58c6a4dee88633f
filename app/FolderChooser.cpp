#include "FolderChooser.h"

#include "PathRules.h"

#include <shlobj.h>

namespace {

constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT | BIF_NEWDIALOGSTYLE; // 0x45

// Nothing is preselected: the browser opens at its root.
int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM) {
    if (message == BFFM_INITIALIZED)
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(L""));
    return 0;
}

} // namespace

bool ChooseFolder(HWND owner, std::wstring* folder) {
    wchar_t displayName[kPathBufferChars] = {};
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.pszDisplayName = displayName;
    info.lpszTitle = L"请选择文件夹";
    info.ulFlags = kBrowseFlags;
    info.lpfn = BrowseCallback;
    PIDLIST_ABSOLUTE items = SHBrowseForFolderW(&info);
    if (items == nullptr)
        return false;
    wchar_t path[kPathBufferChars] = {};
    BOOL havePath = SHGetPathFromIDListW(items, path);
    CoTaskMemFree(items);
    path[kPathBufferChars - 1] = L'\0';
    if (!havePath || path[0] == L'\0')
        return false;
    *folder = StripOneTrailingSeparator(path);
    return true;
}
